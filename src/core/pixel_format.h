#pragma once
// Pixels as a window system lays them out in its images (bits per pixel, row
// padding, byte order, colour masks or a colour map) and the bitmap's
// 0x00RRGGBB words: converted both ways, so screens of depth 8, 15, 16, 24,
// 30 or 32 are captured and painted like any other.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace kwp::core {

struct PixelLayout {
    int depth = 24;          // significant bits of a pixel
    int bitsPerPixel = 32;   // 8, 16, 24 or 32
    int rowPadBits = 32;     // rows are padded to a multiple of this
    bool msbFirst = false;   // byte order of a pixel
    // The colour masks; all zero for a colour-map layout (pixels are
    // indices into a map of 2^depth colours, depth at most 8).
    uint32_t redMask = 0xFF0000, greenMask = 0x00FF00, blueMask = 0x0000FF;
};

class PixelFormat {
public:
    // None for a layout it cannot convert (other pixel widths, masks that are
    // not one run of bits, a colour map deeper than 8 bits).
    static std::optional<PixelFormat> Of(const PixelLayout& layout);

    int Depth() const { return layout_.depth; }
    int BitsPerPixel() const { return layout_.bitsPerPixel; }
    // The pixels are 32-bit words 0x??RRGGBB in this machine's byte order:
    // the rows are the bitmap's, with no conversion.
    bool IsNative() const { return native_; }
    bool UsesColourMap() const { return indexed_; }
    // Bytes of one row of `width` pixels, padding included.
    size_t RowBytes(int width) const;

    // For a colour-map layout: the colours of the map's entries, 0x00RRGGBB.
    // With `toWrite`, colours are also written as the entry of that colour,
    // or else of the nearest one.
    void SetColourMap(std::vector<uint32_t> colours, bool toWrite = false);

    // `height` rows of pixels (RowBytes(width) apart) as bitmap words, `width`
    // per row, one row after the other.
    void ToWords(const uint8_t* data, int width, int height, uint32_t* out) const;
    // The pixel value for the colour 0xRRGGBB (for a colour-map layout once
    // its map was set to write).
    uint32_t PixelOf(uint32_t rgb) const;
    // `width` bitmap words as pixels, written from `out` on; the bytes after
    // them (a row's padding, the pixels beside) are left as they are.
    void FromWords(const uint32_t* words, int width, uint8_t* out) const;

private:
    struct Channel {
        int shift = 0;                 // of the mask's lowest bit
        int bits = 0;                  // the mask's width
        std::vector<uint8_t> expand;   // field value -> 8 bits (fields up to 8 bits wide)
        std::vector<uint32_t> reduce;  // 8 bits -> the field in its place in a pixel
        uint32_t Expand(uint32_t pixel) const;
        uint32_t Reduce(uint32_t eight) const;
    };

    bool SetChannel(Channel& channel, uint32_t mask);
    uint32_t Read(const uint8_t* p) const;
    void Write(uint32_t pixel, uint8_t* p) const;
    uint32_t ToWord(uint32_t pixel) const;

    PixelLayout layout_;
    bool native_ = false;
    bool indexed_ = false;
    Channel red_, green_, blue_;
    // Every pixel value's word, for pixels of 16 bits or fewer.
    std::vector<uint32_t> table_;
    // Colour maps, to write: the entry of each colour in the map, and the
    // nearest entry to each colour of 5 bits per channel.
    std::unordered_map<uint32_t, uint8_t> entryOf_;
    std::vector<uint8_t> nearest_;
};

}  // namespace kwp::core
