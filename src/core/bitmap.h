#pragma once
// A bitmap in the display's pixel format. Pixels are held as 32-bit words
// 0x00RRGGBB (the layout of a 32-bit device bitmap and of QImage::Format_RGB32),
// rows top-down; `bitsPerPixel` says what depth the bitmap stands for (24 or 32)
// and governs only how it is written to a BMP file.
//
// The pixels are the bitmap's own memory, or memory lent by someone else (a
// screen grab's shared segment, see Over()). Lent memory may hold anything in
// a word's top byte, so readers use the low 24 bits: Pixel(), comparison,
// copies and Crop() all see and hand on 0x00RRGGBB.
#include <cstdint>
#include <memory>
#include <vector>

#include "core/geometry.h"

namespace kwp::core {

class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height, int bitsPerPixel = 32);
    // A bitmap whose pixels are `pixels` (width * height words), kept alive
    // by `lender`, which is released when the bitmap lets them go. The bitmap
    // writes into them (the canvas draws there).
    static Bitmap Over(int width, int height, int bitsPerPixel, uint32_t* pixels, std::shared_ptr<void> lender);

    // Copies hold their pixels in their own memory; moves take them along.
    Bitmap(const Bitmap& other);
    Bitmap& operator=(const Bitmap& other);
    Bitmap(Bitmap&& other) noexcept;
    Bitmap& operator=(Bitmap&& other) noexcept;
    ~Bitmap() = default;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitsPerPixel() const { return bitsPerPixel_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    Rect Bounds() const { return {0, 0, width_, height_}; }
    // The lender of the pixels (null for the bitmap's own memory): a backend
    // can recognise its memory and show it without copying.
    const void* Lender() const { return lender_.get(); }

    uint32_t* Row(int y) { return data_ + static_cast<size_t>(y) * width_; }
    const uint32_t* Row(int y) const { return data_ + static_cast<size_t>(y) * width_; }
    uint32_t Pixel(int x, int y) const { return Row(y)[x] & 0xFFFFFFu; }
    void SetPixel(int x, int y, uint32_t rgb) { Row(y)[x] = rgb; }
    uint32_t* Data() { return data_; }
    const uint32_t* Data() const { return data_; }

    // A new bitmap of the size of `from` (same depth) holding a 1:1 copy of the
    // pixels under `from`; pixels of `from` outside this bitmap are black.
    Bitmap Crop(const Rect& from) const;
    // Becomes Crop(from). When `from` lies inside the bitmap the rows are
    // moved together in the memory the bitmap already has (its own or lent,
    // and the lender kept), so no new picture-sized memory is touched.
    void CropInPlace(const Rect& from);

    // Same size, depth and colours (the low 24 bits of every pixel).
    bool operator==(const Bitmap& other) const;

private:
    size_t Count() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }

    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 32;
    std::vector<uint32_t> own_;
    std::shared_ptr<void> lender_;
    uint32_t* data_ = nullptr;  // own_.data() or lent memory
};

inline constexpr uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) {
    return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}

}  // namespace kwp::core
