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

class QtLabel : public platform::Label {
public:
    explicit QtLabel(QLabel* label) : label_(label) {}

private:
    QLabel* label_;
};

class QtSpeedButton : public platform::SpeedButton {
public:
    explicit QtSpeedButton(QToolButton* button) : button_(button) {}

private:
    QToolButton* button_;
};

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

class QtPicture : public platform::Picture {
public:
    explicit QtPicture(ClickablePicture* picture) : picture_(picture) {}

private:
    ClickablePicture* picture_;
};

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
