#include "platform/win32/speed_button.h"

#include "platform/dispatch.h"
#include "platform/win32/resources.h"
#include "platform/win32/skin.h"
#include "platform/win32/text.h"

namespace kwp::platform::win32 {
namespace {

constexpr wchar_t kClass[] = L"KwpshotSpeedButton";

// Makes a 32-bit glyph's colours premultiplied by its alpha, as AlphaBlend
// wants them; false when the glyph carries no alpha at all.
bool PremultiplyAlpha(HBITMAP glyph) {
    DIBSECTION section{};
    if (GetObjectW(glyph, sizeof section, &section) != sizeof section || section.dsBm.bmBitsPixel != 32 ||
        !section.dsBm.bmBits)
        return false;
    auto* pixel = static_cast<uint8_t*>(section.dsBm.bmBits);
    const size_t count = static_cast<size_t>(section.dsBm.bmWidth) * section.dsBm.bmHeight;
    bool anyAlpha = false;
    for (size_t i = 0; i < count; ++i) anyAlpha |= pixel[i * 4 + 3] != 0;
    if (!anyAlpha) return false;
    for (size_t i = 0; i < count; ++i, pixel += 4)
        for (int c = 0; c < 3; ++c) pixel[c] = static_cast<uint8_t>(pixel[c] * pixel[3] / 255);
    return true;
}

}  // namespace

SpeedButtonControl::SpeedButtonControl(FormContext& form, HWND parent, Bounds bounds, const std::string& caption,
                                       Resource glyph, Handler onClick)
    : NativeControl(form, parent, bounds, FontKind::Small),
      caption_(Wide(caption)),
      onClick_(std::move(onClick)),
      glyph_(LoadGlyph(glyph)) {
    if (glyph_) glyphHasAlpha_ = PremultiplyAlpha(glyph_.Get());
    ClassLook look;
    look.cursor = LoadCursorW(nullptr, IDC_HAND);
    RegisterTargetClass(kClass, look);
    Adopt(CreateTargetWindow(*this, Params(kClass, caption_, 0)));
    if (const wchar_t letter = AcceleratorLetter(caption_)) form_.accelerators.push_back({letter, this});
}

SpeedButtonControl::~SpeedButtonControl() {
    FormContext::Forget(form_.accelerators, [this](const Accelerator& a) { return a.button == this; });
    SetWindowLongPtrW(Handle(), GWLP_USERDATA, 0);
}

void SpeedButtonControl::Click() { Dispatch(form_.platform, onClick_); }

SIZE SpeedButtonControl::GlyphSize() const {
    BITMAP info{};
    if (!glyph_ || !GetObjectW(glyph_.Get(), sizeof info, &info)) return {0, 0};
    return {form_.look.Scale(info.bmWidth), form_.look.Scale(info.bmHeight)};
}

void SpeedButtonControl::DrawFace(HDC dc, const RECT& area) const {
    if (!form_.look.Skinned()) {
        FillRect(dc, &area, form_.look.FaceBrush());
        RECT edge = area;
        DrawEdge(dc, &edge, pressed_ ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        return;
    }
    // The skin: a rounded, softly shaded button that lights up under the pointer.
    FillRect(dc, &area, form_.look.FaceBrush());
    COLORREF top = hot_ ? skin::kHotTop : skin::kShadeTop;
    COLORREF bottom = hot_ ? skin::kHotBottom : skin::kShadeBottom;
    if (pressed_) std::swap(top, bottom);
    skin::Shade(dc, {area.left + 1, area.top + 1, area.right - 1, area.bottom - 1}, top, bottom);
    PenHandle border(CreatePen(PS_SOLID, 1, hot_ ? skin::kHotBorder : skin::kBorder));
    Selection pen(dc, border.Get());
    Selection hollow(dc, GetStockObject(NULL_BRUSH));
    const int round = form_.look.Scale(6);
    RoundRect(dc, area.left, area.top, area.right, area.bottom, round, round);
}

void SpeedButtonControl::DrawGlyph(HDC dc, int x, int y) const {
    BITMAP info{};
    GetObjectW(glyph_.Get(), sizeof info, &info);
    const SIZE size = GlyphSize();
    MemoryDc source(CreateCompatibleDC(dc));
    Selection selected(source.Get(), glyph_.Get());
    if (glyphHasAlpha_) {
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(dc, x, y, size.cx, size.cy, source.Get(), 0, 0, info.bmWidth, info.bmHeight, blend);
    } else {
        // The bottom-left pixel's colour is the glyph's transparent colour.
        const COLORREF transparent = GetPixel(source.Get(), 0, info.bmHeight - 1);
        TransparentBlt(dc, x, y, size.cx, size.cy, source.Get(), 0, 0, info.bmWidth, info.bmHeight, transparent);
    }
}

void SpeedButtonControl::Paint() {
    PaintSession paint(Handle());
    RECT area{};
    GetClientRect(Handle(), &area);
    // Drawn off screen and put up in one go, so the button never flickers.
    MemoryDc canvas(CreateCompatibleDC(paint.Dc()));
    BitmapHandle surface(CreateCompatibleBitmap(paint.Dc(), area.right, area.bottom));
    Selection target(canvas.Get(), surface.Get());
    HDC dc = canvas.Get();

    DrawFace(dc, area);
    Selection font(dc, form_.look.Font(font_));
    RECT textArea = area;
    DrawTextW(dc, caption_.c_str(), -1, &textArea, DT_CALCRECT | DT_SINGLELINE);
    const SIZE glyph = GlyphSize();
    const int textWidth = textArea.right - textArea.left, textHeight = textArea.bottom - textArea.top;
    const int shift = pressed_ ? 1 : 0;
    // Glyph and caption side by side, no space between, centred as one.
    int x = (area.right - glyph.cx - textWidth) / 2 + shift;
    if (glyph_) {
        DrawGlyph(dc, x, (area.bottom - glyph.cy) / 2 + shift);
        x += glyph.cx;
    }
    RECT place{x, (area.bottom - textHeight) / 2 + shift, x + textWidth, (area.bottom - textHeight) / 2 + textHeight + shift};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ForeColour());
    DrawTextW(dc, caption_.c_str(), -1, &place, DT_SINGLELINE | DT_LEFT | DT_TOP);

    BitBlt(paint.Dc(), 0, 0, area.right, area.bottom, dc, 0, 0, SRCCOPY);
}

void SpeedButtonControl::SetPressed(bool pressed) {
    if (pressed == pressed_) return;
    pressed_ = pressed;
    InvalidateRect(Handle(), nullptr, FALSE);
}

LRESULT SpeedButtonControl::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            Paint();
            return 0;
        case WM_LBUTTONDOWN:
            // No SetFocus: the focus stays where it was.
            tracking_ = true;
            SetCapture(window);
            SetPressed(true);
            return 0;
        case WM_MOUSEMOVE: {
            RECT area{};
            GetClientRect(window, &area);
            const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const bool inside = PtInRect(&area, at) != FALSE;
            if (tracking_) SetPressed(inside);
            if (!hot_ && inside) {
                hot_ = true;
                TRACKMOUSEEVENT leave{sizeof leave, TME_LEAVE, window, 0};
                TrackMouseEvent(&leave);
                InvalidateRect(window, nullptr, FALSE);
            }
            return 0;
        }
        case WM_MOUSELEAVE:
            hot_ = false;
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_LBUTTONUP: {
            if (!tracking_) return 0;
            const bool clicked = pressed_;
            tracking_ = false;
            ReleaseCapture();
            SetPressed(false);
            UpdateWindow(window);
            if (clicked) Click();
            return 0;
        }
        case WM_CAPTURECHANGED:
            tracking_ = false;
            SetPressed(false);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kwp::platform::win32
