#pragma once
// How an X server lays out the pixels of a depth: bits per pixel, row padding,
// byte order and the visual's colour masks (or its colour map). Converts Z
// pixmap rows to the bitmap's 0x00RRGGBB words and back, so a screen of depth
// 8, 15, 16, 24, 30 or 32 is captured and painted like any other.
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace kwp::qt {

class XPixelFormat {
public:
    // The format of `depth` pixels shown through `visual` on this server; none
    // when the server's pixels are not 8, 16, 24 or 32 bits wide or the visual
    // is unknown.
    static std::optional<XPixelFormat> Of(xcb_connection_t* connection, uint8_t depth, xcb_visualid_t visual);
    // The root window's format on the connection's screen.
    static std::optional<XPixelFormat> OfScreen(xcb_connection_t* connection, const xcb_screen_t* screen);

    uint8_t Depth() const { return depth_; }
    int BitsPerPixel() const { return bitsPerPixel_; }
    // The pixels are 32-bit words 0x??RRGGBB in this machine's byte order:
    // the server's rows are the bitmap's, with no conversion.
    bool IsNative() const { return native_; }
    // A colour-map visual (PseudoColor and the like): pixels are indices.
    bool UsesColourMap() const { return indexed_; }
    // Bytes of one row of `width` pixels, padding included.
    size_t RowBytes(int width) const;

    // For colour-map visuals: the colours of the map's first 2^depth entries,
    // as 0x00RRGGBB, read at each grab (the map can change). With
    // `toWrite`, colours are also written as the entry of that colour, or
    // else of the nearest one.
    void SetColourMap(std::vector<uint32_t> colours, bool toWrite = false);

    // `height` rows of the server's pixels (rows RowBytes(width) apart) as
    // bitmap words, `width` per row, one row after the other.
    void ToWords(const uint8_t* data, int width, int height, uint32_t* out) const;
    // The server's pixel value for the colour 0xRRGGBB (for a colour-map
    // visual once its map was set to write).
    uint32_t PixelOf(uint32_t rgb) const;
    // One row of bitmap words in the server's layout (RowBytes(width) bytes;
    // padding zero).
    void FromWords(const uint32_t* words, int width, uint8_t* out) const;

private:
    struct Channel {
        int shift = 0;          // of the mask's lowest bit
        int bits = 0;           // the mask's width
        std::vector<uint8_t> expand;  // field value -> 8 bits (fields up to 8 bits wide)
        std::vector<uint32_t> reduce;  // 8 bits -> the field in its place in a pixel
        uint32_t Expand(uint32_t pixel) const;
        uint32_t Reduce(uint32_t eight) const;
    };

    uint32_t Read(const uint8_t* p) const;
    void Write(uint32_t pixel, uint8_t* p) const;
    uint32_t ToWord(uint32_t pixel) const;
    void BuildTable();

    uint8_t depth_ = 0;
    int bitsPerPixel_ = 0;
    int scanlinePad_ = 32;
    bool msbFirst_ = false;
    bool native_ = false;
    bool indexed_ = false;
    Channel red_, green_, blue_;
    // Every pixel value's word, for pixels of 16 bits or fewer.
    std::vector<uint32_t> table_;
    // Colour-map visuals, to write: the entry of each colour in the map, and
    // the nearest entry to each colour of 5 bits per channel.
    std::unordered_map<uint32_t, uint8_t> entryOf_;
    std::vector<uint8_t> nearest_;
};

// The colours of `colourMap`'s first 2^depth entries (depth at most 8).
std::vector<uint32_t> ReadColourMap(xcb_connection_t* connection, xcb_colormap_t colourMap, uint8_t depth);

}  // namespace kwp::qt
