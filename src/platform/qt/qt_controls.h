#pragma once
// The simple controls of the main window, each a thin wrapper around the Qt
// widget that plays its part. The widgets belong to their parent widget.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

#include "platform/platform.h"

namespace kwp::qt {

// Controls the program asks nothing of once made: the widget, owned by its
// parent, is all there is, so their handles hold nothing.
class QtLabel : public platform::Label {};
class QtSpeedButton : public platform::SpeedButton {};

// A label that shows a picture stretched to its size and reports a click
// (press and release inside it).
class ClickablePicture : public QLabel {
public:
    ClickablePicture(QWidget* parent, std::function<void()> onClick);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::function<void()> onClick_;
    bool pressed_ = false;
};

class QtPicture : public platform::Picture {};

class QtMemo : public platform::Memo {
public:
    explicit QtMemo(QPlainTextEdit* memo) : memo_(memo) {}
    void SetFocus() override { memo_->setFocus(Qt::OtherFocusReason); }
    bool Focused() const override { return memo_->hasFocus(); }

private:
    QPlainTextEdit* memo_;
};

class QtEdit : public platform::Edit {
public:
    explicit QtEdit(QLineEdit* edit) : edit_(edit) {}
    std::string Text() const override { return edit_->text().toStdString(); }
    void SetText(const std::string& text) override { edit_->setText(QString::fromStdString(text)); }
    void SetFocus() override { edit_->setFocus(Qt::OtherFocusReason); }
    bool Focused() const override { return edit_->hasFocus(); }

private:
    QLineEdit* edit_;
};

class QtCheckBox : public platform::CheckBox {
public:
    explicit QtCheckBox(QCheckBox* box) : box_(box) {}
    bool Checked() const override { return box_->isChecked(); }
    void SetChecked(bool checked) override { box_->setChecked(checked); }
    void SetFocus() override { box_->setFocus(Qt::OtherFocusReason); }
    bool Focused() const override { return box_->hasFocus(); }

private:
    QCheckBox* box_;
};

}  // namespace kwp::qt
