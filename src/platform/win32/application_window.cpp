#include "platform/win32/application_window.h"

#include "platform/win32/resources.h"
#include "platform/win32/text.h"

namespace kwp::platform::win32 {
namespace {

constexpr wchar_t kClass[] = L"KwpshotApplication";

}  // namespace

ApplicationWindow::ApplicationWindow()
    : bigIcon_(LoadProgramIcon(GetSystemMetrics(SM_CXICON))),
      smallIcon_(LoadProgramIcon(GetSystemMetrics(SM_CXSMICON))) {
    RegisterTargetClass(kClass);
    WindowParams params;
    params.className = kClass;
    // A caption and a minimize box, so that the taskbar offers its entry a
    // minimize; no size, so that nothing of it is ever seen.
    params.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS;
    // At the centre of the screen, so that the boxes and dialogs it owns
    // open there.
    params.x = GetSystemMetrics(SM_CXSCREEN) / 2;
    params.y = GetSystemMetrics(SM_CYSCREEN) / 2;
    params.width = params.height = 0;
    window_ = CreateTargetWindow(*this, params);
    // The taskbar entry's icon.
    SendMessageW(window_.Get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
    SendMessageW(window_.Get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
}

ApplicationWindow::~ApplicationWindow() { SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0); }

void ApplicationWindow::SetTitle(const std::string& title) { SetWindowTextW(window_.Get(), Wide(title).c_str()); }

void ApplicationWindow::ShowTaskbarEntry() { ShowWindow(window_.Get(), SW_SHOWNA); }

void ApplicationWindow::HideTaskbarEntry() { ShowWindow(window_.Get(), SW_HIDE); }

void ApplicationWindow::SetHandlers(std::function<void()> onMinimize, std::function<void()> onClose) {
    onMinimize_ = std::move(onMinimize);
    onClose_ = std::move(onClose);
}

LRESULT ApplicationWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SYSCOMMAND:
            // Minimizing the application hides the main window and takes the
            // entry off the taskbar; the window itself is never minimized.
            if ((wParam & 0xFFF0) == SC_MINIMIZE) {
                if (onMinimize_) onMinimize_();
                HideTaskbarEntry();
                return 0;
            }
            break;
        case WM_CLOSE:
            // Closing the entry closes the main window, which ends the
            // program; this window stays until then.
            if (onClose_) onClose_();
            return 0;
        case WM_ACTIVATE:
            // Activated from the taskbar: the window the user works in, the
            // main window or a box over it, takes over.
            if (LOWORD(wParam) != WA_INACTIVE) {
                HWND popup = GetLastActivePopup(window);
                if (popup != window && IsWindowVisible(popup) && IsWindowEnabled(popup)) {
                    SetActiveWindow(popup);
                    return 0;
                }
            }
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kwp::platform::win32
