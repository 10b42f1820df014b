#pragma once
// Windows BMP files: 14-byte file header "BM", 40-byte information header,
// rows bottom-up padded to 4 bytes, uncompressed.
#include "core/bitmap.h"
#include "core/file_io.h"

namespace kwp::core {

inline constexpr std::string_view kBitmapNotValid = "Bitmap image is not valid";

// The BMP of the bitmap at its own depth (24 or 32 bits); no bytes at all for
// an empty bitmap.
Bytes EncodeBmp(const Bitmap& bitmap);

// The bitmap of a BMP file; an empty bitmap for no bytes at all. Reads 24- and
// 32-bit uncompressed files (and bottom-up or top-down rows); anything else,
// a file not starting with "BM", or a header that does not fit the data throws
// Error("Bitmap image is not valid") without allocating for it.
Bitmap DecodeBmp(const Bytes& bytes);

}  // namespace kwp::core
