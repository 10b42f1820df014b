#pragma once
// A bitmap in the display's pixel format. Pixels are held as 32-bit words
// 0x00RRGGBB (the layout of a 32-bit device bitmap and of QImage::Format_RGB32),
// rows top-down; `bitsPerPixel` says what depth the bitmap stands for (24 or 32)
// and governs only how it is written to a BMP file.
#include <cstdint>
#include <vector>

#include "core/geometry.h"

namespace kwp::core {

class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height, int bitsPerPixel = 32);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitsPerPixel() const { return bitsPerPixel_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    Rect Bounds() const { return {0, 0, width_, height_}; }

    uint32_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
    const uint32_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
    uint32_t Pixel(int x, int y) const { return Row(y)[x]; }
    void SetPixel(int x, int y, uint32_t rgb) { Row(y)[x] = rgb; }
    uint32_t* Data() { return pixels_.data(); }
    const uint32_t* Data() const { return pixels_.data(); }

    // A new bitmap of the size of `from` (same depth) holding a 1:1 copy of the
    // pixels under `from`; pixels of `from` outside this bitmap are black.
    Bitmap Crop(const Rect& from) const;

    bool operator==(const Bitmap&) const = default;

private:
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 32;
    std::vector<uint32_t> pixels_;
};

inline constexpr uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) {
    return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}

}  // namespace kwp::core
