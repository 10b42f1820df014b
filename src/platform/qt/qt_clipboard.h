#pragma once
// The clipboard image. Qt offers it in the usual image formats (image/png,
// image/bmp, ...); when the program ends, Qt hands it to a running clipboard
// manager (SAVE_TARGETS), so the region outlives the program.
#include "core/bitmap.h"

namespace kwp::qt {

// Empties the clipboard and, for a bitmap that is not empty, puts a copy of
// it there.
void SetClipboardImage(const core::Bitmap& bitmap);

}  // namespace kwp::qt
