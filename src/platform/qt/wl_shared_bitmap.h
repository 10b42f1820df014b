#pragma once
// Bitmaps whose pixels live in shared memory (a memfd) that a Wayland
// compositor can map: the overlay then shows the snapshot straight from the
// program's own bitmap, and a crosshair move sends the compositor only the
// damaged rectangles, never the picture.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/bitmap.h"

namespace kwp::qt {

struct SharedPixels {
    int fd;        // the memfd the pixels are mapped from
    size_t bytes;  // its size
    uint64_t serial;  // tells this memory from any other, also one after it
};

// A bitmap of that size in shared memory (XRGB words, rows top-down, no
// padding); an ordinary bitmap when shared memory cannot be had.
core::Bitmap NewSharedBitmap(int width, int height, int bitsPerPixel);

// The shared memory `bitmap`'s pixels live in, if they do.
std::optional<SharedPixels> SharedPixelsOf(const core::Bitmap& bitmap);

}  // namespace kwp::qt
