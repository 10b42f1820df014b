#include "core/bitmap.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <stdexcept>

namespace kwp::core {

Bitmap::Bitmap(int width, int height, int bitsPerPixel)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), bitsPerPixel_(bitsPerPixel) {
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        throw std::invalid_argument("a bitmap stands for 24 or 32 bits per pixel");
    // A bitmap with no width or no height holds no pixels at all.
    if (width_ > 0 && height_ > 0) pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
}

Bitmap Bitmap::Crop(const Rect& from) const {
    // Widths in 64 bits: a rectangle spanning the whole int range must not wrap.
    const int64_t width = int64_t{from.right} - from.left;
    const int64_t height = int64_t{from.bottom} - from.top;
    if (width <= 0 || height <= 0) return Bitmap(0, 0, bitsPerPixel_);
    if (width > INT_MAX || height > INT_MAX) throw std::length_error("crop rectangle too large");

    Bitmap out(static_cast<int>(width), static_cast<int>(height), bitsPerPixel_);
    const Rect inside = from.Intersect(Bounds());
    if (inside.Empty()) return out;
    const int dx = inside.left - from.left;  // fits: inside lies within both rectangles
    for (int y = inside.top; y < inside.bottom; ++y) {
        const uint32_t* src = Row(y) + inside.left;
        std::copy(src, src + inside.Width(), out.Row(y - from.top) + dx);
    }
    return out;
}

}  // namespace kwp::core
