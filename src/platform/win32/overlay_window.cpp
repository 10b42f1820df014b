#include "platform/win32/overlay_window.h"

#include "platform/dispatch.h"
#include "platform/win32/screen.h"

namespace kwp::platform::win32 {
namespace {

constexpr wchar_t kClass[] = L"KwpshotOverlay";
// Where the overlay lies when not maximized; it is only ever shown maximized.
constexpr int kRestoredLeft = 439, kRestoredTop = 348, kRestoredWidth = 186, kRestoredHeight = 127;

}  // namespace

Overlay::Overlay(Platform& platform, OverlayEvents events, std::function<void()> onDestroyed)
    : platform_(platform), events_(std::move(events)), onDestroyed_(std::move(onDestroyed)) {
    // No CS_DBLCLKS: the second press of a double click is a press like any other.
    RegisterTargetClass(kClass);
    WindowParams params;
    params.className = kClass;
    params.title = L"Form5";
    params.style = WS_POPUP | WS_CLIPCHILDREN;
    params.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    params.x = kRestoredLeft;
    params.y = kRestoredTop;
    params.width = kRestoredWidth;
    params.height = kRestoredHeight;
    window_ = CreateTargetWindow(*this, params);
}

Overlay::~Overlay() {
    SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
    if (onDestroyed_) onDestroyed_();
}

void Overlay::SetPicture(const core::Bitmap* picture) {
    picture_ = picture;
    InvalidateRect(window_.Get(), nullptr, FALSE);
}

POINT Overlay::PictureOrigin() const {
    RECT client{};
    GetClientRect(window_.Get(), &client);
    if (!picture_) return {0, 0};
    // Centred at its natural size (an offset of 0 when it fills the client).
    return {(client.right - picture_->Width()) / 2, (client.bottom - picture_->Height()) / 2};
}

void Overlay::Invalidate(const core::Rect& area) {
    if (area.Empty()) return;
    const POINT origin = PictureOrigin();
    RECT dirty{area.left + origin.x, area.top + origin.y, area.right + origin.x, area.bottom + origin.y};
    InvalidateRect(window_.Get(), &dirty, FALSE);
}

void Overlay::ShowMaximized() {
    ShowWindow(window_.Get(), SW_SHOWMAXIMIZED);
    SetWindowPos(window_.Get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(window_.Get());
}

void Overlay::Hide() {
    if (GetCapture() == window_.Get()) ReleaseCapture();
    ShowWindow(window_.Get(), SW_HIDE);
}

bool Overlay::Visible() const { return IsWindowVisible(window_.Get()) != FALSE; }

void Overlay::Paint() {
    PaintSession paint(window_.Get());
    HDC dc = paint.Dc();
    const RECT& area = paint.Area();

    RECT shown{};
    if (picture_ && !picture_->Empty()) {
        const POINT origin = PictureOrigin();
        shown = {origin.x, origin.y, origin.x + picture_->Width(), origin.y + picture_->Height()};
        RECT part{};
        if (IntersectRect(&part, &shown, &area)) {
            // Only the rows of the dirty part go to the device: a band of the
            // picture described as a DIB of its own.
            const int top = part.top - origin.y;
            const int rows = part.bottom - part.top;
            const BITMAPINFO band = TopDownInfo(picture_->Width(), rows);
            SetDIBitsToDevice(dc, part.left, part.top, static_cast<DWORD>(part.right - part.left),
                              static_cast<DWORD>(rows), part.left - origin.x, 0, 0, static_cast<UINT>(rows),
                              picture_->Row(top), &band, DIB_RGB_COLORS);
        }
    }
    // Around a picture smaller than the client area: the window colour.
    RegionHandle rest(CreateRectRgnIndirect(&area));
    RegionHandle picture(CreateRectRgnIndirect(&shown));
    CombineRgn(rest.Get(), rest.Get(), picture.Get(), RGN_DIFF);
    FillRgn(dc, rest.Get(), GetSysColorBrush(COLOR_BTNFACE));
}

void Overlay::Press(MouseButton button, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    // Taken before the handler runs: a handler that hides the overlay or
    // opens a box lets go of it again.
    SetCapture(window_.Get());
    if (events_.onMouseDown) Dispatch(platform_, [&] { events_.onMouseDown(button, x, y); });
}

void Overlay::Release(WPARAM buttonsHeld) {
    if (!(buttonsHeld & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetCapture() == window_.Get()) ReleaseCapture();
}

LRESULT Overlay::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETMINMAXINFO: {
            // Maximized means the whole primary display, taskbar included.
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMaxPosition = {0, 0};
            limits->ptMaxSize = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
            limits->ptMaxTrackSize = limits->ptMaxSize;
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // Paint covers every pixel
        case WM_PAINT:
            Paint();
            return 0;
        case WM_MOUSEMOVE: {
            const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
            if (events_.onMouseMove) Dispatch(platform_, [&] { events_.onMouseMove(x, y); });
            return 0;
        }
        case WM_LBUTTONDOWN: Press(MouseButton::Left, lParam); return 0;
        case WM_RBUTTONDOWN: Press(MouseButton::Right, lParam); return 0;
        case WM_MBUTTONDOWN: Press(MouseButton::Middle, lParam); return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            Release(wParam);
            return 0;
        case WM_KEYDOWN:
            if (events_.onKeyDown) Dispatch(platform_, [&] { events_.onKeyDown(static_cast<uint8_t>(wParam)); });
            return 0;
        case WM_CLOSE:
            // Closing the overlay only hides it.
            Hide();
            Dispatch(platform_, events_.onClosedByWindowSystem);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kwp::platform::win32
