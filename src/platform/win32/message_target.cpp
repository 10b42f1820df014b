#include "platform/win32/message_target.h"

#include "core/error.h"
#include "platform/win32/text.h"

namespace kwp::platform::win32 {
namespace {

LRESULT CALLBACK ForwardingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        if (auto* target = OwnerOf<MessageTarget>(window)) return target->OnMessage(window, message, wParam, lParam);
    } catch (...) {
        // Nothing may cross into the system; the message gets its default.
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

[[noreturn]] void ThrowLastError(const std::string& what) {
    throw core::Error(what + ": " + SystemErrorText(GetLastError()));
}

}  // namespace

HINSTANCE ModuleInstance() { return GetModuleHandleW(nullptr); }

void RegisterTargetClass(const wchar_t* name, const ClassLook& look) {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    info.style = look.style;
    info.lpfnWndProc = ForwardingProc;
    info.hInstance = ModuleInstance();
    info.hCursor = look.cursor ? look.cursor : LoadCursorW(nullptr, IDC_ARROW);
    info.hbrBackground = look.background;
    info.hIcon = look.icon;
    info.hIconSm = look.smallIcon;
    info.lpszClassName = name;
    if (!RegisterClassExW(&info) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        ThrowLastError("Cannot register a window class");
}

WindowHandle CreateTargetWindow(MessageTarget& target, const WindowParams& params) {
    HWND window = CreateWindowExW(params.exStyle, params.className, params.title.c_str(), params.style, params.x, params.y,
                                  params.width, params.height, params.parent, nullptr, ModuleInstance(), &target);
    if (!window) ThrowLastError("Cannot create a window");
    return WindowHandle(window);
}

WindowHandle CreateControlWindow(void* owner, const WindowParams& params) {
    HWND window = CreateWindowExW(params.exStyle, params.className, params.title.c_str(), params.style, params.x, params.y,
                                  params.width, params.height, params.parent, nullptr, ModuleInstance(), nullptr);
    if (!window) ThrowLastError("Cannot create a window");
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    return WindowHandle(window);
}

}  // namespace kwp::platform::win32
