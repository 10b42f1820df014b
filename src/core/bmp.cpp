#include "core/bmp.h"

#include <cstdint>
#include <string>

#include "core/error.h"

namespace kwp::core {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
constexpr size_t kMasksSize = 12;  // red, green and blue masks of BI_BITFIELDS
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

[[noreturn]] void NotValid() { throw Error(std::string(kBitmapNotValid)); }

// Bytes per stored row: rows are padded to whole 32-bit words.
uint64_t RowBytes(uint64_t width, int bitsPerPixel) { return (width * static_cast<uint64_t>(bitsPerPixel) + 31) / 32 * 4; }

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

Bytes EncodeBmp(const Bitmap& bitmap) {
    if (bitmap.Empty()) return {};
    const int bpp = bitmap.BitsPerPixel();
    const uint64_t rowBytes = RowBytes(static_cast<uint64_t>(bitmap.Width()), bpp);
    const uint64_t imageSize = rowBytes * static_cast<uint64_t>(bitmap.Height());
    // The headers hold 32-bit sizes.
    if (imageSize > UINT32_MAX - kHeadersSize) throw Error("Bitmap image is too large");

    Bytes out(kHeadersSize + imageSize, 0);
    uint8_t* h = out.data();
    h[0] = 'B';
    h[1] = 'M';
    Put32(h + 2, static_cast<uint32_t>(out.size()));
    Put32(h + 10, kHeadersSize);  // pixel data right after the headers: no colour table
    Put32(h + 14, kInfoHeaderSize);
    Put32(h + 18, static_cast<uint32_t>(bitmap.Width()));
    Put32(h + 22, static_cast<uint32_t>(bitmap.Height()));  // positive: rows bottom-up
    Put16(h + 26, 1);
    Put16(h + 28, static_cast<uint16_t>(bpp));
    Put32(h + 30, kBiRgb);
    Put32(h + 34, static_cast<uint32_t>(imageSize));
    // Resolutions and colour counts stay 0.

    uint8_t* row = h + kHeadersSize;
    for (int y = bitmap.Height() - 1; y >= 0; --y, row += rowBytes) {
        const uint32_t* src = bitmap.Row(y);
        uint8_t* p = row;
        for (int x = 0; x < bitmap.Width(); ++x) {
            const uint32_t rgb = src[x];
            *p++ = static_cast<uint8_t>(rgb);
            *p++ = static_cast<uint8_t>(rgb >> 8);
            *p++ = static_cast<uint8_t>(rgb >> 16);
            if (bpp == 32) *p++ = 0;
        }
    }
    return out;
}

Bitmap DecodeBmp(const Bytes& bytes) {
    if (bytes.empty()) return Bitmap();
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M') NotValid();
    if (bytes.size() < kHeadersSize) NotValid();
    const uint8_t* h = bytes.data();
    const uint64_t size = bytes.size();

    const uint32_t fileSize = Get32(h + 2);
    const uint32_t offset = Get32(h + 10);
    const uint32_t infoSize = Get32(h + 14);
    const int32_t width = static_cast<int32_t>(Get32(h + 18));
    const int32_t height = static_cast<int32_t>(Get32(h + 22));
    const uint16_t planes = Get16(h + 26);
    const uint16_t bpp = Get16(h + 28);
    const uint32_t compression = Get32(h + 30);
    const uint32_t imageSize = Get32(h + 34);

    // Later header versions only add fields after the first 40 bytes.
    if (infoSize < kInfoHeaderSize || kFileHeaderSize + uint64_t{infoSize} > size) NotValid();
    if (fileSize > size) NotValid();  // the file was cut short
    if (planes != 1 || (bpp != 24 && bpp != 32)) NotValid();
    uint64_t headersEnd = kFileHeaderSize + uint64_t{infoSize};
    if (compression == kBiBitfields) {
        // Accepted only when the masks are the plain 8-bit blue, green, red
        // layout; they follow a 40-byte header and sit inside longer ones. A
        // header of 41 to 51 bytes would cut them, so it is refused.
        if (bpp != 32) NotValid();
        if (infoSize == kInfoHeaderSize) headersEnd += kMasksSize;
        if (headersEnd < kHeadersSize + kMasksSize || headersEnd > size) NotValid();
        if (Get32(h + 54) != 0x00FF0000u || Get32(h + 58) != 0x0000FF00u || Get32(h + 62) != 0x000000FFu) NotValid();
    } else if (compression != kBiRgb) {
        NotValid();
    }
    if (width <= 0 || height == 0 || height == INT32_MIN) NotValid();
    if (offset < headersEnd || offset > size) NotValid();

    // Every pixel row must be present before anything is allocated for it.
    const bool topDown = height < 0;
    const uint64_t rows = topDown ? -int64_t{height} : height;
    const uint64_t rowBytes = RowBytes(static_cast<uint64_t>(width), bpp);
    const uint64_t pixelBytes = rowBytes * rows;  // below 2^33 * 2^31
    if (pixelBytes > size - offset || imageSize > size - offset) NotValid();
    if (static_cast<uint64_t>(width) * rows > SIZE_MAX / sizeof(uint32_t)) NotValid();

    Bitmap out(width, static_cast<int>(rows), bpp);
    const uint8_t* src = h + offset;
    const int step = bpp / 8;
    for (uint64_t i = 0; i < rows; ++i, src += rowBytes) {
        uint32_t* dst = out.Row(static_cast<int>(topDown ? i : rows - 1 - i));
        const uint8_t* p = src;
        for (int x = 0; x < width; ++x, p += step) dst[x] = Rgb(p[2], p[1], p[0]);
    }
    return out;
}

}  // namespace kwp::core
