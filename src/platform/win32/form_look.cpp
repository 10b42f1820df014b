#include "platform/win32/form_look.h"

#include "platform/win32/skin.h"

namespace kwp::platform::win32 {
namespace {

FontHandle MakeFont(int pixels, const wchar_t* face, BYTE charset) {
    return FontHandle(CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face));
}

}  // namespace

int SystemDpi() {
    WindowDc screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

FormLook::FormLook(int dpi) : dpi_(dpi), skinFace_(CreateSolidBrush(skin::kFace)) { SetDpi(dpi); }

void FormLook::SetDpi(int dpi) {
    dpi_ = dpi;
    // Both fonts ask for the Chinese character set: the texts are Chinese,
    // and a system whose font of that name has no Chinese glyphs (any
    // "MS Sans Serif", or no "宋体" at all) then picks a Chinese font of its
    // own, as a Chinese system does for these names.
    windowFont_ = MakeFont(Scale(15), L"宋体", GB2312_CHARSET);
    smallFont_ = MakeFont(Scale(11), L"MS Sans Serif", GB2312_CHARSET);
}

RECT FormLook::Scale(const Bounds& designed) const {
    const int left = Scale(designed.left), top = Scale(designed.top);
    return {left, top, left + Scale(designed.width), top + Scale(designed.height)};
}

HFONT FormLook::Font(FontKind kind) const {
    return kind == FontKind::Window ? windowFont_.Get() : smallFont_.Get();
}

COLORREF FormLook::Face() const { return skinned_ ? skin::kFace : GetSysColor(COLOR_BTNFACE); }

HBRUSH FormLook::FaceBrush() const { return skinned_ ? skinFace_.Get() : GetSysColorBrush(COLOR_BTNFACE); }

COLORREF FormLook::BevelLight() const { return skinned_ ? skin::kLight : GetSysColor(COLOR_BTNHIGHLIGHT); }

COLORREF FormLook::BevelDark() const { return skinned_ ? skin::kDark : GetSysColor(COLOR_BTNSHADOW); }

COLORREF TextColour(TextColor color) {
    switch (color) {
        case TextColor::Red: return RGB(255, 0, 0);
        case TextColor::Blue: return RGB(0, 0, 255);
        case TextColor::WindowText: break;
    }
    return GetSysColor(COLOR_WINDOWTEXT);
}

}  // namespace kwp::platform::win32
