#include "platform/win32/panel_control.h"

namespace kwp::platform::win32 {
namespace {
constexpr wchar_t kClass[] = L"KwpshotPanel";
}

PanelControl::PanelControl(FormContext& form, HWND parent, Bounds bounds)
    : NativeControl(form, parent, bounds, FontKind::Window) {
    RegisterTargetClass(kClass);
    Adopt(CreateTargetWindow(*this, Params(kClass, L"", WS_CLIPCHILDREN, WS_EX_CONTROLPARENT)));
}

PanelControl::~PanelControl() {
    SetWindowLongPtrW(Handle(), GWLP_USERDATA, 0);
    DestroyControls();
}

void PanelControl::SetFocus() { ::SetFocus(Handle()); }
bool PanelControl::Focused() const { return GetFocus() == Handle(); }

void PanelControl::Paint() {
    PaintSession paint(Handle());
    RECT area{};
    GetClientRect(Handle(), &area);
    HDC dc = paint.Dc();
    FillRect(dc, &area, form_.look.FaceBrush());
    // A one-pixel raised bevel.
    PenHandle light(CreatePen(PS_SOLID, 1, form_.look.BevelLight()));
    PenHandle dark(CreatePen(PS_SOLID, 1, form_.look.BevelDark()));
    {
        Selection pen(dc, light.Get());
        MoveToEx(dc, area.left, area.bottom - 1, nullptr);
        LineTo(dc, area.left, area.top);
        LineTo(dc, area.right - 1, area.top);
    }
    Selection pen(dc, dark.Get());
    MoveToEx(dc, area.right - 1, area.top, nullptr);
    LineTo(dc, area.right - 1, area.bottom - 1);
    LineTo(dc, area.left - 1, area.bottom - 1);
}

LRESULT PanelControl::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            Paint();
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (HBRUSH brush = ChildColours(form_.look, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
                return reinterpret_cast<LRESULT>(brush);
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kwp::platform::win32
