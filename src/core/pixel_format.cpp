#include "core/pixel_format.h"

#include <bit>

namespace kwp::core {

// A field of n bits widened to 8 by repeating its bits (5 bits abcde give
// abcdeabc): 0 stays 0, all ones becomes 255, and inverting the field inverts
// the 8 bits, so the inverting pen draws what the server would.
uint32_t PixelFormat::Channel::Expand(uint32_t pixel) const {
    const uint32_t field = (pixel >> shift) & ((uint32_t{1} << bits) - 1);
    return bits <= 8 ? expand[field] : field >> (bits - 8);
}

uint32_t PixelFormat::Channel::Reduce(uint32_t eight) const {
    uint32_t field;
    if (bits <= 8)
        field = eight >> (8 - bits);
    else if (bits <= 16)
        field = eight << (bits - 8) | eight >> (16 - bits);
    else
        field = eight << (bits - 8);
    return field << shift;
}

bool PixelFormat::SetChannel(Channel& c, uint32_t mask) {
    if (mask == 0) return false;
    c.shift = std::countr_zero(mask);
    c.bits = std::popcount(mask);
    if ((mask >> c.shift) != (uint32_t{1} << c.bits) - 1 || c.shift + c.bits > layout_.bitsPerPixel) return false;
    c.reduce.resize(256);
    for (uint32_t eight = 0; eight < 256; ++eight) c.reduce[eight] = c.Reduce(eight);
    if (c.bits <= 8) {
        c.expand.resize(size_t{1} << c.bits);
        for (uint32_t v = 0; v < c.expand.size(); ++v) {
            uint32_t repeated = 0;
            int have = 0;
            while (have < 8) repeated = repeated << c.bits | v, have += c.bits;
            c.expand[v] = uint8_t(repeated >> (have - 8));
        }
    }
    return true;
}

std::optional<PixelFormat> PixelFormat::Of(const PixelLayout& layout) {
    const int bpp = layout.bitsPerPixel;
    if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return std::nullopt;
    if (layout.rowPadBits < 8 || layout.rowPadBits % 8 || layout.depth < 1 || layout.depth > bpp)
        return std::nullopt;
    PixelFormat format;
    format.layout_ = layout;
    format.indexed_ = layout.redMask == 0 && layout.greenMask == 0 && layout.blueMask == 0;
    if (format.indexed_) {
        if (layout.depth > 8) return std::nullopt;
        format.table_.assign(size_t{1} << bpp, 0);
        return format;
    }
    if (!format.SetChannel(format.red_, layout.redMask) || !format.SetChannel(format.green_, layout.greenMask) ||
        !format.SetChannel(format.blue_, layout.blueMask))
        return std::nullopt;
    format.native_ = bpp == 32 && layout.redMask == 0xFF0000u && layout.greenMask == 0x00FF00u &&
                     layout.blueMask == 0x0000FFu && layout.msbFirst == (std::endian::native == std::endian::big);
    if (bpp <= 16) {
        format.table_.resize(size_t{1} << bpp);
        for (uint32_t pixel = 0; pixel < format.table_.size(); ++pixel) format.table_[pixel] = format.ToWord(pixel);
    }
    return format;
}

size_t PixelFormat::RowBytes(int width) const {
    const size_t bits = size_t(width) * size_t(layout_.bitsPerPixel);
    const size_t pad = size_t(layout_.rowPadBits);
    return (bits + pad - 1) / pad * pad / 8;
}

void PixelFormat::SetColourMap(std::vector<uint32_t> colours, bool toWrite) {
    if (!indexed_ || colours.empty()) return;
    for (size_t pixel = 0; pixel < table_.size(); ++pixel) table_[pixel] = colours[pixel % colours.size()];
    if (!toWrite) return;
    entryOf_.clear();
    for (size_t entry = colours.size(); entry-- > 0;) entryOf_[colours[entry]] = uint8_t(entry);
    nearest_.resize(size_t{1} << 15);
    for (uint32_t cell = 0; cell < nearest_.size(); ++cell) {
        const int r = int(cell >> 10 << 3 | 4), g = int((cell >> 5 & 31) << 3 | 4), b = int((cell & 31) << 3 | 4);
        int best = 0, bestDistance = 1 << 30;
        for (size_t entry = 0; entry < colours.size(); ++entry) {
            const int dr = r - int(colours[entry] >> 16 & 0xFF), dg = g - int(colours[entry] >> 8 & 0xFF),
                      db = b - int(colours[entry] & 0xFF);
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) best = int(entry), bestDistance = distance;
        }
        nearest_[cell] = uint8_t(best);
    }
}

uint32_t PixelFormat::ToWord(uint32_t pixel) const {
    return red_.Expand(pixel) << 16 | green_.Expand(pixel) << 8 | blue_.Expand(pixel);
}

uint32_t PixelFormat::Read(const uint8_t* p) const {
    const int bytes = layout_.bitsPerPixel / 8;
    uint32_t pixel = 0;
    if (layout_.msbFirst)
        for (int i = 0; i < bytes; ++i) pixel = pixel << 8 | p[i];
    else
        for (int i = bytes - 1; i >= 0; --i) pixel = pixel << 8 | p[i];
    return pixel;
}

void PixelFormat::Write(uint32_t pixel, uint8_t* p) const {
    const int bytes = layout_.bitsPerPixel / 8;
    for (int i = 0; i < bytes; ++i) {
        const uint8_t byte = uint8_t(pixel >> (8 * i));
        p[layout_.msbFirst ? bytes - 1 - i : i] = byte;
    }
}

void PixelFormat::ToWords(const uint8_t* data, int width, int height, uint32_t* out) const {
    const size_t stride = RowBytes(width);
    const size_t step = size_t(layout_.bitsPerPixel / 8);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data + size_t(y) * stride;
        uint32_t* to = out + size_t(y) * size_t(width);
        if (native_) {
            // The screen's own words; the unused top byte is cleared.
            const uint32_t* in = reinterpret_cast<const uint32_t*>(row);
            for (int x = 0; x < width; ++x) to[x] = in[x] & 0x00FFFFFFu;
        } else if (layout_.bitsPerPixel == 16 && !layout_.msbFirst) {
            for (int x = 0; x < width; ++x) to[x] = table_[uint32_t(row[2 * x]) | uint32_t(row[2 * x + 1]) << 8];
        } else if (!table_.empty()) {
            for (int x = 0; x < width; ++x) to[x] = table_[Read(row + x * step)];
        } else {
            for (int x = 0; x < width; ++x) to[x] = ToWord(Read(row + x * step));
        }
    }
}

uint32_t PixelFormat::PixelOf(uint32_t rgb) const {
    if (indexed_) {
        rgb &= 0xFFFFFFu;
        if (auto found = entryOf_.find(rgb); found != entryOf_.end()) return found->second;
        if (nearest_.empty()) return 0;
        return nearest_[(rgb >> 19 & 31) << 10 | (rgb >> 11 & 31) << 5 | (rgb >> 3 & 31)];
    }
    return red_.reduce[(rgb >> 16) & 0xFF] | green_.reduce[(rgb >> 8) & 0xFF] | blue_.reduce[rgb & 0xFF];
}

void PixelFormat::FromWords(const uint32_t* words, int width, uint8_t* out) const {
    const size_t step = size_t(layout_.bitsPerPixel / 8);
    if (layout_.bitsPerPixel == 16 && !layout_.msbFirst) {
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = PixelOf(words[x]);
            out[2 * x] = uint8_t(pixel);
            out[2 * x + 1] = uint8_t(pixel >> 8);
        }
        return;
    }
    for (int x = 0; x < width; ++x) Write(PixelOf(words[x]), out + x * step);
}

}  // namespace kwp::core
