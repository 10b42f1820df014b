#include "platform/win32/hotkey_box.h"

#include <commctrl.h>

#include "core/hotkey_value.h"

namespace kwp::platform::win32 {

uint16_t HotKeyValueFromControl(WORD word) {
    const BYTE flags = HIBYTE(word);
    uint32_t value = LOBYTE(word);
    if (flags & HOTKEYF_SHIFT) value |= core::kHotKeyShift;
    if (flags & HOTKEYF_CONTROL) value |= core::kHotKeyCtrl;
    if (flags & HOTKEYF_ALT) value |= core::kHotKeyAlt;
    return static_cast<uint16_t>(value);
}

WORD HotKeyControlWord(uint16_t value) {
    const uint16_t kept = core::HotKeyBoxValue(value);
    BYTE flags = 0;
    if (kept & core::kHotKeyShift) flags |= HOTKEYF_SHIFT;
    if (kept & core::kHotKeyCtrl) flags |= HOTKEYF_CONTROL;
    if (kept & core::kHotKeyAlt) flags |= HOTKEYF_ALT;
    return MAKEWORD(LOBYTE(kept), flags);
}

HotKeyBoxControl::HotKeyBoxControl(FormContext& form, HWND parent, Bounds bounds, uint16_t value)
    : NativeControl(form, parent, bounds, FontKind::Window) {
    Adopt(CreateControlWindow(static_cast<NativeControl*>(this), Params(HOTKEY_CLASSW, L"", WS_TABSTOP)));
    SendMessageW(Handle(), HKM_SETRULES, HKCOMB_NONE | HKCOMB_S, MAKELPARAM(HOTKEYF_CONTROL, 0));
    SetValue(value);
}

void HotKeyBoxControl::SetFocus() { ::SetFocus(Handle()); }
bool HotKeyBoxControl::Focused() const { return GetFocus() == Handle(); }

uint16_t HotKeyBoxControl::Value() const {
    return HotKeyValueFromControl(static_cast<WORD>(SendMessageW(Handle(), HKM_GETHOTKEY, 0, 0)));
}

void HotKeyBoxControl::SetValue(uint16_t value) {
    SendMessageW(Handle(), HKM_SETHOTKEY, HotKeyControlWord(value), 0);
}

}  // namespace kwp::platform::win32
