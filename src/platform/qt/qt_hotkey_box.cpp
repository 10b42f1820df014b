#include "qt_hotkey_box.h"

#include <QContextMenuEvent>
#include <QKeyEvent>

#include "core/hotkey_value.h"
#include "qt_key_table.h"

namespace kwp::qt {

HotKeyEdit::HotKeyEdit(QWidget* parent) : QLineEdit(parent) {
    // Read-only keeps paste and input methods out; keys are taken below.
    setReadOnly(true);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setCursor(Qt::IBeamCursor);
}

void HotKeyEdit::SetValue(uint16_t value) {
    value_ = core::HotKeyBoxValue(value);
    setText(QString::fromStdString(core::HotKeyDisplayText(value_)));
}

bool HotKeyEdit::event(QEvent* event) {
    // Alt+letter and other shortcuts typed into the box are hotkeys for it,
    // not the window's accelerators. Tab still moves the focus.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void HotKeyEdit::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool shift = mods & Qt::ShiftModifier, ctrl = mods & Qt::ControlModifier, alt = mods & Qt::AltModifier;
    const int key = event->key();
    if ((key == Qt::Key_Backspace || key == Qt::Key_Delete) && !shift && !ctrl && !alt) {
        SetValue(0);  // clears the box, as the system control does
        return;
    }
    const uint8_t vk = VirtualKeyForQtKey(key, mods & Qt::KeypadModifier);
    if (vk == 0) return;  // a modifier alone, or a key with no code
    SetValue(core::TypedHotKeyValue(vk, shift, ctrl, alt));
}

void HotKeyEdit::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

}  // namespace kwp::qt
