#pragma once
// The system's hotkey control. A key typed with no modifier or with Shift
// alone gets Ctrl (HKM_SETRULES); values go in and out as hotkey values.
#include "platform/win32/native_control.h"

namespace kwp::platform::win32 {

class HotKeyBoxControl : public HotKeyBox, public NativeControl {
public:
    HotKeyBoxControl(FormContext& form, HWND parent, Bounds bounds, uint16_t value);
    void SetFocus() override;
    bool Focused() const override;
    uint16_t Value() const override;
    void SetValue(uint16_t value) override;
};

// The control's word (key code in the low byte, HOTKEYF_* flags in the high
// byte) and the hotkey value, both ways. The extended-key flag is dropped.
uint16_t HotKeyValueFromControl(WORD word);
WORD HotKeyControlWord(uint16_t value);

}  // namespace kwp::platform::win32
