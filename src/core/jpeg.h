#pragma once
// JPEG/JFIF encoding through libjpeg: baseline, floating-point DCT, standard
// quantisation and Huffman tables, 2x2 luminance sampling, JFIF 1.01 with
// density unit 0 and density 1:1, no other markers.
#include "core/bitmap.h"
#include "core/file_io.h"
#include "core/pixel_rows.h"

namespace kwp::core {

inline constexpr std::string_view kJpegError = "JPEG error #%d";

// Encodes the rows of `source` at `quality` (libjpeg's own rule applies:
// below 1 counts as 1, above 100 as 100) into `sink`, in pieces as they are
// made. Nothing at all for an empty picture. A fatal library error throws
// Error("JPEG error #<code>"); an error of the source or the sink is thrown
// on as it came.
void EncodeJpeg(RowSource& source, int quality, FileSink& sink);

// The JPEG of the bitmap, in memory.
Bytes EncodeJpeg(const Bitmap& bitmap, int quality);

// The bitmap's rows as they lie in its memory (words 0x??RRGGBB).
class BitmapRows final : public RowSource {
public:
    explicit BitmapRows(const Bitmap& bitmap) : bitmap_(bitmap) {}
    explicit BitmapRows(const Bitmap&&) = delete;  // the bitmap must outlive the rows
    int Width() const override { return bitmap_.Width(); }
    int Height() const override { return bitmap_.Height(); }
    RowLayout Layout() const override;
    int Rows(int first, int most, const uint8_t** rows) override;

private:
    const Bitmap& bitmap_;
};

}  // namespace kwp::core
