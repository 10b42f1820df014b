#include "platform/win32/hotkey_window.h"

#include "platform/dispatch.h"

namespace kwp::platform::win32 {
namespace {
constexpr wchar_t kClass[] = L"KwpshotHotKeys";
}

HotKeyWindow::HotKeyWindow(Platform& platform) : platform_(platform) {
    RegisterTargetClass(kClass);
    WindowParams params;
    params.className = kClass;
    params.x = params.y = params.width = params.height = 0;
    params.parent = HWND_MESSAGE;
    window_ = CreateTargetWindow(*this, params);
}

bool HotKeyWindow::Register(int id, uint32_t systemModifiers, uint8_t virtualKey) {
    return RegisterHotKey(window_.Get(), id, systemModifiers, virtualKey) != FALSE;
}

void HotKeyWindow::Unregister(int id) { UnregisterHotKey(window_.Get(), id); }

LRESULT HotKeyWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HOTKEY && handler_) {
        const auto w = static_cast<uint32_t>(wParam);
        const auto l = static_cast<uint32_t>(lParam);
        Dispatch(platform_, [&] { handler_(w, l); });
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kwp::platform::win32
