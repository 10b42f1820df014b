#include "platform/win32/picture_control.h"

#include "platform/dispatch.h"
#include "platform/win32/resources.h"
#include "platform/win32/screen.h"

namespace kwp::platform::win32 {
namespace {
constexpr wchar_t kClass[] = L"KwpshotPicture";
}

PictureControl::PictureControl(FormContext& form, HWND parent, Bounds bounds, Resource picture, Handler onClick)
    : NativeControl(form, parent, bounds, FontKind::Window),
      picture_(LoadJpegPicture(picture)),
      onClick_(std::move(onClick)) {
    ClassLook look;
    look.cursor = LoadCursorW(nullptr, IDC_HAND);
    RegisterTargetClass(kClass, look);
    Adopt(CreateTargetWindow(*this, Params(kClass, L"", 0)));
}

PictureControl::~PictureControl() { SetWindowLongPtrW(Handle(), GWLP_USERDATA, 0); }

void PictureControl::Paint() {
    PaintSession paint(Handle());
    RECT area{};
    GetClientRect(Handle(), &area);
    if (picture_.Empty()) {
        FillRect(paint.Dc(), &area, form_.look.FaceBrush());
        return;
    }
    SetStretchBltMode(paint.Dc(), HALFTONE);
    SetBrushOrgEx(paint.Dc(), 0, 0, nullptr);
    const BITMAPINFO info = TopDownInfo(picture_.Width(), picture_.Height());
    StretchDIBits(paint.Dc(), 0, 0, area.right, area.bottom, 0, 0, picture_.Width(), picture_.Height(),
                  picture_.Data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

LRESULT PictureControl::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            Paint();
            return 0;
        case WM_LBUTTONDOWN:
            tracking_ = true;
            SetCapture(window);
            return 0;
        case WM_LBUTTONUP: {
            if (!tracking_) return 0;
            tracking_ = false;
            ReleaseCapture();
            RECT area{};
            GetClientRect(window, &area);
            const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (PtInRect(&area, at)) Dispatch(form_.platform, onClick_);
            return 0;
        }
        case WM_CAPTURECHANGED:
            tracking_ = false;
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kwp::platform::win32
