#include "core/bitmap.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <stdexcept>
#include <utility>

namespace kwp::core {

namespace {

void CheckDepth(int bitsPerPixel) {
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        throw std::invalid_argument("a bitmap stands for 24 or 32 bits per pixel");
}

// Copies colours, leaving the top byte 0 whatever the source held there.
void CopyColours(const uint32_t* from, size_t count, uint32_t* to) {
    std::transform(from, from + count, to, [](uint32_t pixel) { return pixel & 0xFFFFFFu; });
}

}  // namespace

Bitmap::Bitmap(int width, int height, int bitsPerPixel)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), bitsPerPixel_(bitsPerPixel) {
    CheckDepth(bitsPerPixel);
    // A bitmap with no width or no height holds no pixels at all.
    if (width_ > 0 && height_ > 0) {
        own_.assign(Count(), 0);
        data_ = own_.data();
    }
}

Bitmap Bitmap::Over(int width, int height, int bitsPerPixel, uint32_t* pixels, std::shared_ptr<void> lender) {
    CheckDepth(bitsPerPixel);
    if (width <= 0 || height <= 0 || !pixels) return Bitmap(width, height, bitsPerPixel);
    Bitmap bitmap;
    bitmap.width_ = width;
    bitmap.height_ = height;
    bitmap.bitsPerPixel_ = bitsPerPixel;
    bitmap.lender_ = std::move(lender);
    bitmap.data_ = pixels;
    return bitmap;
}

Bitmap::Bitmap(const Bitmap& other)
    : width_(other.width_), height_(other.height_), bitsPerPixel_(other.bitsPerPixel_) {
    if (other.data_) {
        own_.resize(Count());
        CopyColours(other.data_, Count(), own_.data());
        data_ = own_.data();
    }
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
    if (this != &other) *this = Bitmap(other);
    return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      bitsPerPixel_(other.bitsPerPixel_),
      own_(std::move(other.own_)),
      lender_(std::move(other.lender_)),
      data_(std::exchange(other.data_, nullptr)) {
    other.own_.clear();
}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
    if (this != &other) {
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        bitsPerPixel_ = other.bitsPerPixel_;
        own_ = std::move(other.own_);
        other.own_.clear();
        lender_ = std::move(other.lender_);
        data_ = std::exchange(other.data_, nullptr);
    }
    return *this;
}

bool Bitmap::operator==(const Bitmap& other) const {
    if (width_ != other.width_ || height_ != other.height_ || bitsPerPixel_ != other.bitsPerPixel_) return false;
    return std::equal(data_, data_ + Count(), other.data_,
                      [](uint32_t a, uint32_t b) { return ((a ^ b) & 0xFFFFFFu) == 0; });
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
    for (int y = inside.top; y < inside.bottom; ++y)
        CopyColours(Row(y) + inside.left, static_cast<size_t>(inside.Width()), out.Row(y - from.top) + dx);
    return out;
}

void Bitmap::CropInPlace(const Rect& from) {
    const Rect inside = from.Intersect(Bounds());
    if (inside != from || from.Empty()) {
        *this = Crop(from);
        return;
    }
    // Row y moves from (top + y) * oldWidth + left to y * width: never
    // forward, and never onto a later row's pixels before they are read, so
    // a forward copy word by word is safe.
    const int width = from.Width(), height = from.Height();
    uint32_t* out = data_;
    for (int y = 0; y < height; ++y) {
        const uint32_t* in = Row(from.top + y) + from.left;
        for (int x = 0; x < width; ++x) out[x] = in[x] & 0xFFFFFFu;
        out += width;
    }
    width_ = width;
    height_ = height;
}

}  // namespace kwp::core
