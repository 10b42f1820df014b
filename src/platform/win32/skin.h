#pragma once
// The program's own look once the skin is on: a cool light blue in place of
// the grey button face, softly shaded buttons and menu highlights.
#include "platform/win32/win32.h"

namespace kwp::platform::win32::skin {

inline constexpr COLORREF kFace = RGB(226, 236, 248);
inline constexpr COLORREF kLight = RGB(255, 255, 255);
inline constexpr COLORREF kDark = RGB(140, 166, 204);
inline constexpr COLORREF kText = RGB(0, 0, 0);
inline constexpr COLORREF kShadeTop = RGB(250, 252, 255);
inline constexpr COLORREF kShadeBottom = RGB(190, 210, 238);
inline constexpr COLORREF kHotTop = RGB(255, 255, 255);
inline constexpr COLORREF kHotBottom = RGB(206, 224, 248);
inline constexpr COLORREF kBorder = RGB(120, 148, 190);
inline constexpr COLORREF kHotBorder = RGB(80, 120, 190);

// A vertical shade from `top` to `bottom` over `area`.
void Shade(HDC dc, const RECT& area, COLORREF top, COLORREF bottom);

}  // namespace kwp::platform::win32::skin
