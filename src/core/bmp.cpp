#include "core/bmp.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/bytes_sink.h"
#include "core/error.h"

namespace kwp::core {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
constexpr size_t kMasksSize = 12;  // red, green and blue masks of BI_BITFIELDS
// Enough for the longest information header (124 bytes) and the masks.
constexpr size_t kMostHeaderBytes = kFileHeaderSize + 124 + kMasksSize;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
// Rows pass through buffers of about this size: large enough for few system
// calls, small enough to stay in the processor's cache.
constexpr size_t kBufferBytes = 256 * 1024;

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

// One stored row of the bitmap's row `src`: blue, green, red (and a zero
// byte at 32 bits) per pixel, padding zeroed. On a little-endian machine the
// words are stored whole, four pixels in three words at 24 bits.
void PutRow(const uint32_t* src, int width, int bpp, uint8_t* out, uint64_t rowBytes) {
    uint8_t* p = out;
    int x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        if (bpp == 32) {
            for (; x < width; ++x, p += 4) {
                const uint32_t word = src[x] & 0xFFFFFFu;
                std::memcpy(p, &word, 4);
            }
        } else {
            for (; x + 4 <= width; x += 4, p += 12) {
                const uint32_t a = src[x], b = src[x + 1], c = src[x + 2], d = src[x + 3];
                const uint32_t words[3] = {(a & 0xFFFFFFu) | b << 24, ((b >> 8) & 0xFFFFu) | c << 16,
                                           ((c >> 16) & 0xFFu) | d << 8};
                std::memcpy(p, words, 12);
            }
        }
    }
    for (; x < width; ++x) {
        const uint32_t rgb = src[x];
        *p++ = static_cast<uint8_t>(rgb);
        *p++ = static_cast<uint8_t>(rgb >> 8);
        *p++ = static_cast<uint8_t>(rgb >> 16);
        if (bpp == 32) *p++ = 0;
    }
    std::fill(p, out + rowBytes, uint8_t{0});
}

}  // namespace

void WriteBmp(const Bitmap& bitmap, FileSink& sink) {
    if (bitmap.Empty()) return;
    const int bpp = bitmap.BitsPerPixel();
    const uint64_t rowBytes = RowBytes(static_cast<uint64_t>(bitmap.Width()), bpp);
    const uint64_t imageSize = rowBytes * static_cast<uint64_t>(bitmap.Height());
    // The headers hold 32-bit sizes.
    if (imageSize > UINT32_MAX - kHeadersSize) throw Error("Bitmap image is too large");

    uint8_t h[kHeadersSize] = {};
    h[0] = 'B';
    h[1] = 'M';
    Put32(h + 2, static_cast<uint32_t>(kHeadersSize + imageSize));
    Put32(h + 10, kHeadersSize);  // pixel data right after the headers: no colour table
    Put32(h + 14, kInfoHeaderSize);
    Put32(h + 18, static_cast<uint32_t>(bitmap.Width()));
    Put32(h + 22, static_cast<uint32_t>(bitmap.Height()));  // positive: rows bottom-up
    Put16(h + 26, 1);
    Put16(h + 28, static_cast<uint16_t>(bpp));
    Put32(h + 30, kBiRgb);
    Put32(h + 34, static_cast<uint32_t>(imageSize));
    // Resolutions and colour counts stay 0.
    sink.Write(h, sizeof h);

    // Rows bottom-up, a buffer's worth per write.
    const size_t perWrite = static_cast<size_t>(std::max<uint64_t>(1, kBufferBytes / rowBytes));
    std::vector<uint8_t> buffer(perWrite * rowBytes);
    for (int y = bitmap.Height() - 1; y >= 0;) {
        size_t filled = 0;
        for (; y >= 0 && filled < buffer.size(); --y, filled += rowBytes)
            PutRow(bitmap.Row(y), bitmap.Width(), bpp, buffer.data() + filled, rowBytes);
        sink.Write(buffer.data(), filled);
    }
}

Bytes EncodeBmp(const Bitmap& bitmap) {
    Bytes out;
    BytesSink sink(out);
    WriteBmp(bitmap, sink);
    return out;
}

void BytesView::ReadAt(uint64_t offset, void* data, size_t size) {
    if (offset > bytes_.size() || size > bytes_.size() - offset) NotValid();
    std::memcpy(data, bytes_.data() + offset, size);
}

BmpReader::BmpReader(FileSource& source) : source_(source) {
    const uint64_t size = source.Size();
    if (size == 0) return;  // an empty picture
    uint8_t h[kMostHeaderBytes] = {};
    const size_t got = static_cast<size_t>(std::min<uint64_t>(size, sizeof h));
    source.ReadAt(0, h, got);
    if (got < 2 || h[0] != 'B' || h[1] != 'M') NotValid();
    if (got < kHeadersSize) NotValid();

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

    width_ = width;
    height_ = static_cast<int>(rows);
    bitsPerPixel_ = bpp;
    topDown_ = topDown;
    pixelOffset_ = offset;
    rowBytes_ = rowBytes;
}

int BmpReader::Rows(int first, int most, const uint8_t** rows) {
    // Stored rows lie in the file in one run, bottom-up unless topDown_.
    const int n = static_cast<int>(std::clamp<uint64_t>(kBufferBytes / rowBytes_, 1, static_cast<uint64_t>(most)));
    if (buffer_.size() < n * rowBytes_) buffer_.resize(n * rowBytes_);
    const uint64_t firstStored = topDown_ ? static_cast<uint64_t>(first) : static_cast<uint64_t>(height_ - first - n);
    source_.ReadAt(pixelOffset_ + firstStored * rowBytes_, buffer_.data(), n * rowBytes_);
    for (int i = 0; i < n; ++i) rows[i] = buffer_.data() + (topDown_ ? i : n - 1 - i) * rowBytes_;
    return n;
}

Bitmap DecodeBmp(const Bytes& bytes) {
    BytesView source(bytes);
    BmpReader reader(source);
    if (reader.Width() == 0) return Bitmap();
    Bitmap out(reader.Width(), reader.Height(), reader.BitsPerPixel());
    const int step = reader.BitsPerPixel() / 8;
    std::vector<const uint8_t*> rows(static_cast<size_t>(std::min(reader.Height(), 1024)));
    for (int y = 0; y < reader.Height();) {
        const int got = reader.Rows(y, std::min<int>(static_cast<int>(rows.size()), reader.Height() - y), rows.data());
        for (int i = 0; i < got; ++i, ++y) {
            uint32_t* dst = out.Row(y);
            const uint8_t* p = rows[static_cast<size_t>(i)];
            for (int x = 0; x < reader.Width(); ++x, p += step) dst[x] = Rgb(p[2], p[1], p[0]);
        }
    }
    return out;
}

}  // namespace kwp::core
