#pragma once
#include "core/bitmap.h"
#include "platform/win32/win32.h"

namespace kwp::platform::win32 {

// Empties the clipboard and puts the bitmap on it as one CF_BITMAP at the
// display's depth (nothing for an empty bitmap). Throws
// core::Error("Cannot open clipboard").
void PutBitmapOnClipboard(HWND owner, const core::Bitmap& bitmap);

}  // namespace kwp::platform::win32
