#pragma once
// Windows BMP files: 14-byte file header "BM", 40-byte information header,
// rows bottom-up padded to 4 bytes, uncompressed.
#include <cstdint>
#include <memory>
#include <vector>

#include "core/bitmap.h"
#include "core/file_io.h"
#include "core/pixel_rows.h"

namespace kwp::core {

inline constexpr std::string_view kBitmapNotValid = "Bitmap image is not valid";

// Writes the BMP of the bitmap at its own depth (24 or 32 bits) into `sink`,
// a few rows at a time; nothing at all for an empty bitmap. Throws
// Error("Bitmap image is too large") before writing anything when the sizes
// do not fit the headers.
void WriteBmp(const Bitmap& bitmap, FileSink& sink);

// The same, in memory.
Bytes EncodeBmp(const Bitmap& bitmap);

// A file's bytes, read in pieces where they are wanted.
class FileSource {
public:
    virtual ~FileSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly `size` bytes from `offset`; throws core::Error when it
    // cannot (the file's own error text, or kBitmapNotValid when it has
    // become shorter).
    virtual void ReadAt(uint64_t offset, void* data, size_t size) = 0;
};

// Bytes in memory that the caller keeps, as a file source.
class BytesView final : public FileSource {
public:
    explicit BytesView(const Bytes& bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    void ReadAt(uint64_t offset, void* data, size_t size) override;

private:
    const Bytes& bytes_;
};

// Bytes in memory as a file source of their own.
class BytesSource final : public FileSource {
public:
    explicit BytesSource(Bytes bytes) : bytes_(std::move(bytes)) {}
    uint64_t Size() const override { return bytes_.size(); }
    void ReadAt(uint64_t offset, void* data, size_t size) override { BytesView(bytes_).ReadAt(offset, data, size); }

private:
    Bytes bytes_;
};

// A BMP file read through a file source: the headers are read and checked
// when it is made, the rows as they are asked for (top row first), through a
// buffer of a few hundred kilobytes. Reads 24- and 32-bit uncompressed files
// (and bottom-up or top-down rows); a source of no bytes at all is an empty
// picture. Anything else, a file not starting with "BM", or a header that
// does not fit the data throws Error("Bitmap image is not valid") without
// allocating for it.
class BmpReader final : public RowSource {
public:
    explicit BmpReader(FileSource& source);

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    int BitsPerPixel() const { return bitsPerPixel_; }
    RowLayout Layout() const override { return bitsPerPixel_ == 24 ? RowLayout::Bgr : RowLayout::Bgrx; }
    int Rows(int first, int most, const uint8_t** rows) override;

private:
    FileSource& source_;
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 32;
    bool topDown_ = false;
    uint64_t pixelOffset_ = 0;
    uint64_t rowBytes_ = 0;
    std::vector<uint8_t> buffer_;
};

// The bitmap of a BMP file held in memory (see BmpReader); an empty bitmap
// for no bytes at all.
Bitmap DecodeBmp(const Bytes& bytes);

}  // namespace kwp::core
