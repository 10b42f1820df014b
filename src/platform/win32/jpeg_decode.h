#pragma once
// JPEG decoding for the pictures the program carries (the banner).
#include <cstddef>
#include <cstdint>

#include "core/bitmap.h"

namespace kwp::platform::win32 {

// The picture, or an empty bitmap when the data is not a JPEG libjpeg reads.
core::Bitmap DecodeJpeg(const uint8_t* data, size_t size);

}  // namespace kwp::platform::win32
