#pragma once
// JPEG/JFIF encoding through libjpeg: baseline, floating-point DCT, standard
// quantisation and Huffman tables, 2x2 luminance sampling, JFIF 1.01 with
// density unit 0 and density 1:1, no other markers.
#include "core/bitmap.h"
#include "core/file_io.h"

namespace kwp::core {

inline constexpr std::string_view kJpegError = "JPEG error #%d";

// The JPEG of the bitmap at `quality` (libjpeg's own rule applies: below 1
// counts as 1, above 100 as 100). No bytes for an empty bitmap. A fatal
// library error throws Error("JPEG error #<code>").
Bytes EncodeJpeg(const Bitmap& bitmap, int quality);

}  // namespace kwp::core
