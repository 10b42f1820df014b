#include "platform/win32/main_window.h"

#include "platform/dispatch.h"
#include "platform/win32/resources.h"
#include "platform/win32/text.h"

namespace kwp::platform::win32 {
namespace {

constexpr wchar_t kClass[] = L"KwpshotMainWindow";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// No taskbar entry of its own: the application window carries it.
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
#ifndef WM_DPICHANGED
constexpr UINT WM_DPICHANGED = 0x02E0;
#endif

bool IsWithin(HWND window, HWND child) { return child && (child == window || IsChild(window, child)); }

}  // namespace

MainWindow::MainWindow(Platform& platform, ApplicationWindow& application, const std::string& caption,
                       int clientWidth, int clientHeight, bool isMain, std::function<void()> onDestroyed)
    : context_(platform, SystemDpi()),
      application_(application),
      isMain_(isMain),
      onDestroyed_(std::move(onDestroyed)),
      clientWidth_(clientWidth),
      clientHeight_(clientHeight),
      bigIcon_(LoadProgramIcon(GetSystemMetrics(SM_CXICON))),
      smallIcon_(LoadProgramIcon(GetSystemMetrics(SM_CXSMICON))) {
    RegisterTargetClass(kClass);
    const SIZE outer = OuterSize();
    WindowParams params;
    params.className = kClass;
    params.title = Wide(caption);
    params.style = kStyle;
    params.exStyle = kExStyle;
    params.x = params.y = 0;
    params.width = outer.cx;
    params.height = outer.cy;
    params.parent = application_.Handle();  // the owner
    window_ = CreateTargetWindow(*this, params);
    SendMessageW(window_.Get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
    SendMessageW(window_.Get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
    // The system menu of a fixed dialog: no size, minimize or maximize.
    if (HMENU menu = GetSystemMenu(window_.Get(), FALSE)) {
        DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
        DeleteMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
        DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
        DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
    }
}

MainWindow::~MainWindow() {
    SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
    DestroyControls();
    if (onDestroyed_) onDestroyed_();
}

SIZE MainWindow::OuterSize() const {
    RECT outer{0, 0, context_.look.Scale(clientWidth_), context_.look.Scale(clientHeight_)};
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    return {outer.right - outer.left, outer.bottom - outer.top};
}

void MainWindow::SetClientSize(int width, int height) {
    clientWidth_ = width;
    clientHeight_ = height;
    const SIZE outer = OuterSize();
    SetWindowPos(window_.Get(), nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::Show() {
    if (!shownBefore_) {
        // Centred on the primary display the first time; afterwards it stays
        // where it is.
        shownBefore_ = true;
        RECT outer{};
        GetWindowRect(window_.Get(), &outer);
        const int width = outer.right - outer.left, height = outer.bottom - outer.top;
        SetWindowPos(window_.Get(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (isMain_) application_.ShowTaskbarEntry();
    ShowWindow(window_.Get(), IsIconic(window_.Get()) ? SW_RESTORE : SW_SHOW);
    BringWindowToTop(window_.Get());
    SetForegroundWindow(window_.Get());
}

void MainWindow::Hide() {
    ShowWindow(window_.Get(), SW_HIDE);
    if (isMain_) application_.HideTaskbarEntry();
}

bool MainWindow::Visible() const { return IsWindowVisible(window_.Get()) != FALSE; }

void MainWindow::Close() {
    // Closing the main window asks the application to end; any other window
    // is only hidden.
    if (isMain_)
        PostQuitMessage(0);
    else
        Hide();
}

void MainWindow::ActivateSkin() {
    context_.look.SetSkinned(true);
    RedrawWindow(window_.Get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

bool MainWindow::PreTranslate(MSG& message) {
    if (!IsWithin(window_.Get(), message.hwnd)) return false;
    // Alt+letter clicks the speed button with that accelerator, except in
    // the hotkey box, where Alt+letter is a hotkey being typed.
    if (message.message == WM_SYSKEYDOWN && (message.lParam & (1 << 29))) {
        wchar_t className[32] = {};
        GetClassNameW(GetFocus(), className, 32);
        if (lstrcmpiW(className, L"msctls_hotkey32") != 0) {
            const auto key = static_cast<wchar_t>(message.wParam);
            for (const Accelerator& accelerator : context_.accelerators) {
                if (accelerator.letter == key) {
                    accelerator.button->Click();
                    return true;
                }
            }
        }
    }
    return IsDialogMessageW(window_.Get(), &message) != FALSE;
}

void MainWindow::ApplyDpi(int dpi, const RECT* suggested) {
    context_.look.SetDpi(dpi);
    for (NativeControl* control : context_.controls) control->Relayout();
    if (suggested) {
        const SIZE outer = OuterSize();
        SetWindowPos(window_.Get(), nullptr, suggested->left, suggested->top, outer.cx, outer.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(window_.Get(), nullptr, TRUE);
}

LRESULT MainWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            RECT area{};
            GetClientRect(window, &area);
            FillRect(reinterpret_cast<HDC>(wParam), &area, context_.look.FaceBrush());
            return 1;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (HBRUSH brush = ChildColours(context_.look, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
                return reinterpret_cast<LRESULT>(brush);
            break;
        case WM_ACTIVATE:
            // The focus comes back to the control that had it.
            if (LOWORD(wParam) == WA_INACTIVE) {
                if (IsWithin(window, GetFocus())) lastFocus_ = GetFocus();
            } else {
                HWND focus = IsWithin(window, lastFocus_) && lastFocus_ != window
                                 ? lastFocus_
                                 : GetNextDlgTabItem(window, nullptr, FALSE);
                if (focus) {
                    SetFocus(focus);
                    return 0;
                }
            }
            break;
        case WM_SIZE:
            // Minimizing the application hides the window; the tray icon
            // stays. It is left minimized, so that showing it restores it
            // (also where the window manager iconified it itself).
            if (wParam == SIZE_MINIMIZED) Hide();
            break;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_DPICHANGED:
            ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kwp::platform::win32
