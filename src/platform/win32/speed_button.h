#pragma once
// A graphic button that never takes the keyboard focus: glyph and caption
// drawn by us, the letter after "&" underlined and clickable with Alt.
#include <string>

#include "platform/win32/native_control.h"

namespace kwp::platform::win32 {

class SpeedButtonControl : public SpeedButton, public NativeControl, private MessageTarget {
public:
    SpeedButtonControl(FormContext& form, HWND parent, Bounds bounds, const std::string& caption, Resource glyph,
                       Handler onClick);
    ~SpeedButtonControl() override;

    // What Alt with the accelerator letter does.
    void Click();
    COLORREF ForeColour() const override { return TextColour(TextColor::Blue); }

private:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Paint();
    void DrawFace(HDC dc, const RECT& area) const;
    void DrawGlyph(HDC dc, int x, int y) const;
    SIZE GlyphSize() const;
    void SetPressed(bool pressed);

    std::wstring caption_;
    Handler onClick_;
    BitmapHandle glyph_;
    bool glyphHasAlpha_ = false;
    bool tracking_ = false;  // the left button went down on us
    bool pressed_ = false;   // ... and the pointer is over us
    bool hot_ = false;
};

}  // namespace kwp::platform::win32
