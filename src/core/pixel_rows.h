#pragma once
// Rows of pixels handed from a picture (a bitmap in memory, a BMP file being
// read) to an encoder, a block at a time, without a copy of the whole picture.
#include <cstdint>

namespace kwp::core {

// How one pixel's bytes lie in a row.
enum class RowLayout {
    Bgr,   // 3 bytes: blue, green, red (a 24-bit BMP row)
    Bgrx,  // 4 bytes: blue, green, red, anything (a 32-bit BMP row; a 0x??RRGGBB word on little-endian)
    Xrgb,  // 4 bytes: anything, red, green, blue (a 0x??RRGGBB word on big-endian)
};

class RowSource {
public:
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual RowLayout Layout() const = 0;
    // Points rows[0 .. n) at the picture's rows first .. first + n - 1, top
    // row 0, with 1 <= n <= most, and returns n. The rows stay valid until
    // the next call. Throws core::Error when the rows cannot be had.
    virtual int Rows(int first, int most, const uint8_t** rows) = 0;

protected:
    ~RowSource() = default;
};

}  // namespace kwp::core
