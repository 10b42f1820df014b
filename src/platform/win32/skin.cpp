#include "platform/win32/skin.h"

namespace kwp::platform::win32::skin {

void Shade(HDC dc, const RECT& area, COLORREF top, COLORREF bottom) {
    TRIVERTEX corners[2] = {
        {area.left, area.top, static_cast<COLOR16>(GetRValue(top) << 8), static_cast<COLOR16>(GetGValue(top) << 8),
         static_cast<COLOR16>(GetBValue(top) << 8), 0},
        {area.right, area.bottom, static_cast<COLOR16>(GetRValue(bottom) << 8),
         static_cast<COLOR16>(GetGValue(bottom) << 8), static_cast<COLOR16>(GetBValue(bottom) << 8), 0},
    };
    GRADIENT_RECT span{0, 1};
    GradientFill(dc, corners, 2, &span, 1, GRADIENT_FILL_RECT_V);
}

}  // namespace kwp::platform::win32::skin
