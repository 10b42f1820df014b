#pragma once
// The primary display: its copy into a core bitmap, and core bitmaps turned
// back into device bitmaps of the display's depth.
#include "core/bitmap.h"
#include "platform/win32/handles.h"

namespace kwp::platform::win32 {

// The display's colour depth as a bitmap depth: 24 for a 24-bit display,
// 32 otherwise (the depths the bitmap file writer knows).
int DisplayBitmapDepth();

// A 1:1 copy (BitBlt, SRCCOPY) of the screen's (0, 0, width, height) through
// GetDC(0). Throws core::Error("Canvas does not allow drawing") when the
// screen cannot be read.
core::Bitmap CopyScreenArea(int width, int height);

// A BITMAPINFO for 32-bit top-down rows of the given size.
BITMAPINFO TopDownInfo(int width, int height);

// A device-dependent bitmap at the display's depth with the bitmap's pixels.
BitmapHandle ToDeviceBitmap(const core::Bitmap& bitmap);

}  // namespace kwp::platform::win32
