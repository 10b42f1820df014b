#pragma once
// What the controls of one window share: the dots per inch the layout is
// scaled to, the two fonts, the colours, and whether the skin is on.
#include "platform/platform.h"
#include "platform/win32/handles.h"

namespace kwp::platform::win32 {

class FormLook {
public:
    explicit FormLook(int dpi);

    int Dpi() const { return dpi_; }
    // Recreates the fonts for another number of dots per inch.
    void SetDpi(int dpi);
    // A length designed at 96 dots per inch, in pixels now.
    int Scale(int designed) const { return MulDiv(designed, dpi_, 96); }
    RECT Scale(const Bounds& designed) const;

    HFONT Font(FontKind kind) const;

    bool Skinned() const { return skinned_; }
    void SetSkinned(bool on) { skinned_ = on; }
    // The background of the window, its panels and its read-only texts.
    COLORREF Face() const;
    HBRUSH FaceBrush() const;
    // The panel's bevel: light top-left, dark bottom-right.
    COLORREF BevelLight() const;
    COLORREF BevelDark() const;

private:
    int dpi_;
    bool skinned_ = false;
    FontHandle windowFont_;
    FontHandle smallFont_;
    BrushHandle skinFace_;
};

COLORREF TextColour(TextColor color);

// The system's idea of the display's dots per inch.
int SystemDpi();

}  // namespace kwp::platform::win32
