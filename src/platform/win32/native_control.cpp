#include "platform/win32/native_control.h"

namespace kwp::platform::win32 {

NativeControl::NativeControl(FormContext& form, HWND parent, Bounds designed, FontKind font)
    : form_(form), parent_(parent), designed_(designed), font_(font) {}

NativeControl::~NativeControl() {
    FormContext::Forget(form_.controls, [this](NativeControl* c) { return c == this; });
}

WindowParams NativeControl::Params(const wchar_t* className, const std::wstring& title, DWORD style,
                               DWORD exStyle) const {
    const RECT place = form_.look.Scale(designed_);
    WindowParams params;
    params.className = className;
    params.title = title;
    params.style = WS_CHILD | WS_VISIBLE | style;
    params.exStyle = WS_EX_NOPARENTNOTIFY | exStyle;
    params.x = place.left;
    params.y = place.top;
    params.width = place.right - place.left;
    params.height = place.bottom - place.top;
    params.parent = parent_;
    return params;
}

void NativeControl::Adopt(WindowHandle window) {
    window_ = std::move(window);
    SendMessageW(window_.Get(), WM_SETFONT, reinterpret_cast<WPARAM>(form_.look.Font(font_)), FALSE);
    form_.controls.push_back(this);
}

void NativeControl::Relayout() {
    const RECT place = form_.look.Scale(designed_);
    SendMessageW(window_.Get(), WM_SETFONT, reinterpret_cast<WPARAM>(form_.look.Font(font_)), FALSE);
    SetWindowPos(window_.Get(), nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

HBRUSH ChildColours(const FormLook& look, HDC dc, HWND child) {
    const auto* control = OwnerOf<NativeControl>(child);
    if (!control) return nullptr;
    SetTextColor(dc, control->ForeColour());
    SetBkColor(dc, look.Face());
    return look.FaceBrush();
}

}  // namespace kwp::platform::win32
