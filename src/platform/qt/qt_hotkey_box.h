#pragma once
// The hotkey entry box, behaving as the Windows hotkey control does: it shows
// the key with its modifiers ("Ctrl + Q"), takes the next key typed into it
// (a key typed with no modifier or with Shift alone gets Ctrl added), shows a
// value written into it unchanged, and reads 0 when empty.
#include <QLineEdit>

#include "platform/platform.h"

namespace kwp::qt {

class HotKeyEdit : public QLineEdit {
public:
    explicit HotKeyEdit(QWidget* parent);
    uint16_t Value() const { return value_; }
    void SetValue(uint16_t value);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    uint16_t value_ = 0;
};

class QtHotKeyBox : public platform::HotKeyBox {
public:
    explicit QtHotKeyBox(HotKeyEdit* edit) : edit_(edit) {}
    uint16_t Value() const override { return edit_->Value(); }
    void SetValue(uint16_t value) override { edit_->SetValue(value); }
    void SetFocus() override { edit_->setFocus(Qt::OtherFocusReason); }
    bool Focused() const override { return edit_->hasFocus(); }

private:
    HotKeyEdit* edit_;  // owned by its parent widget
};

}  // namespace kwp::qt
