#pragma once
// What every control of a window has: its designed bounds (at 96 dots per
// inch) and font, its window, and its colours for the parent to hand to a
// standard control.
#include "platform/platform.h"
#include "platform/win32/form_context.h"
#include "platform/win32/message_target.h"

namespace kwp::platform::win32 {

class NativeControl {
public:
    NativeControl(FormContext& form, HWND parent, Bounds designed, FontKind font);
    virtual ~NativeControl();
    NativeControl(const NativeControl&) = delete;
    NativeControl& operator=(const NativeControl&) = delete;

    HWND Handle() const { return window_.Get(); }
    // Position and font for the look's current dots per inch.
    void Relayout();
    // Text colour when the control is drawn on the window's face.
    virtual COLORREF ForeColour() const { return GetSysColor(COLOR_WINDOWTEXT); }

protected:
    // The params of the control's window at its place.
    WindowParams Params(const wchar_t* className, const std::wstring& title, DWORD style, DWORD exStyle = 0) const;
    // Takes the created window: font set, registered for layouts.
    void Adopt(WindowHandle window);

    FormContext& form_;
    HWND parent_;
    Bounds designed_;
    FontKind font_;
    WindowHandle window_;
};

// The colours a window gives a standard child control (WM_CTLCOLORSTATIC and
// friends): the control's text colour on the window's face. Null when the
// child is not one of ours.
HBRUSH ChildColours(const FormLook& look, HDC dc, HWND child);

}  // namespace kwp::platform::win32
