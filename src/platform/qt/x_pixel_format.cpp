#include "x_pixel_format.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kwp::qt {

namespace {

const xcb_visualtype_t* FindVisual(const xcb_setup_t* setup, xcb_visualid_t id) {
    for (auto screen = xcb_setup_roots_iterator(setup); screen.rem; xcb_screen_next(&screen))
        for (auto depth = xcb_screen_allowed_depths_iterator(screen.data); depth.rem; xcb_depth_next(&depth))
            for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem; xcb_visualtype_next(&visual))
                if (visual.data->visual_id == id) return visual.data;
    return nullptr;
}

bool IsColourMapClass(uint8_t visualClass) {
    return visualClass == XCB_VISUAL_CLASS_STATIC_GRAY || visualClass == XCB_VISUAL_CLASS_GRAY_SCALE ||
           visualClass == XCB_VISUAL_CLASS_STATIC_COLOR || visualClass == XCB_VISUAL_CLASS_PSEUDO_COLOR;
}

}  // namespace

// A field of n bits widened to 8 by repeating its bits (5 bits abcde give
// abcdeabc): 0 stays 0, all ones becomes 255, and inverting the field inverts
// the 8 bits, so the inverting pen draws what the server would.
uint32_t XPixelFormat::Channel::Expand(uint32_t pixel) const {
    const uint32_t field = (pixel >> shift) & ((uint32_t{1} << bits) - 1);
    return bits <= 8 ? expand[field] : field >> (bits - 8);
}

uint32_t XPixelFormat::Channel::Reduce(uint32_t eight) const {
    uint32_t field;
    if (bits <= 8)
        field = eight >> (8 - bits);
    else if (bits <= 16)
        field = eight << (bits - 8) | eight >> (16 - bits);
    else
        field = eight << (bits - 8);
    return field << shift;
}

std::optional<XPixelFormat> XPixelFormat::Of(xcb_connection_t* connection, uint8_t depth, xcb_visualid_t visualId) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    XPixelFormat format;
    format.depth_ = depth;
    format.msbFirst_ = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth != depth) continue;
        format.bitsPerPixel_ = f.data->bits_per_pixel;
        format.scanlinePad_ = f.data->scanline_pad;
    }
    const int bpp = format.bitsPerPixel_;
    if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return std::nullopt;
    if (format.scanlinePad_ < 8 || format.scanlinePad_ % 8) return std::nullopt;
    const xcb_visualtype_t* visual = FindVisual(setup, visualId);
    if (!visual) return std::nullopt;

    format.indexed_ = IsColourMapClass(visual->_class);
    if (format.indexed_) {
        if (depth > 8) return std::nullopt;
        format.table_.assign(size_t{1} << bpp, 0);
        return format;
    }
    // TrueColor, and DirectColor read as if its maps were the usual ramps.
    const uint32_t masks[] = {visual->red_mask, visual->green_mask, visual->blue_mask};
    Channel* channels[] = {&format.red_, &format.green_, &format.blue_};
    for (int i = 0; i < 3; ++i) {
        const uint32_t mask = masks[i];
        if (mask == 0) return std::nullopt;
        Channel& c = *channels[i];
        c.shift = std::countr_zero(mask);
        c.bits = std::popcount(mask);
        if ((mask >> c.shift) != (uint32_t{1} << c.bits) - 1 || c.shift + c.bits > bpp) return std::nullopt;
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
    }
    format.native_ = bpp == 32 && masks[0] == 0xFF0000u && masks[1] == 0x00FF00u && masks[2] == 0x0000FFu &&
                     format.msbFirst_ == (std::endian::native == std::endian::big);
    if (bpp <= 16) format.BuildTable();
    return format;
}

std::optional<XPixelFormat> XPixelFormat::OfScreen(xcb_connection_t* connection, const xcb_screen_t* screen) {
    return Of(connection, screen->root_depth, screen->root_visual);
}

size_t XPixelFormat::RowBytes(int width) const {
    const size_t bits = size_t(width) * size_t(bitsPerPixel_);
    const size_t pad = size_t(scanlinePad_);
    return (bits + pad - 1) / pad * pad / 8;
}

void XPixelFormat::SetColourMap(std::vector<uint32_t> colours, bool toWrite) {
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

void XPixelFormat::BuildTable() {
    table_.resize(size_t{1} << bitsPerPixel_);
    for (uint32_t pixel = 0; pixel < table_.size(); ++pixel) table_[pixel] = ToWord(pixel);
}

uint32_t XPixelFormat::ToWord(uint32_t pixel) const {
    return red_.Expand(pixel) << 16 | green_.Expand(pixel) << 8 | blue_.Expand(pixel);
}

uint32_t XPixelFormat::Read(const uint8_t* p) const {
    const int bytes = bitsPerPixel_ / 8;
    uint32_t pixel = 0;
    if (msbFirst_)
        for (int i = 0; i < bytes; ++i) pixel = pixel << 8 | p[i];
    else
        for (int i = bytes - 1; i >= 0; --i) pixel = pixel << 8 | p[i];
    return pixel;
}

void XPixelFormat::Write(uint32_t pixel, uint8_t* p) const {
    const int bytes = bitsPerPixel_ / 8;
    for (int i = 0; i < bytes; ++i) {
        const uint8_t byte = uint8_t(pixel >> (8 * i));
        p[msbFirst_ ? bytes - 1 - i : i] = byte;
    }
}

void XPixelFormat::ToWords(const uint8_t* data, int width, int height, uint32_t* out) const {
    const size_t stride = RowBytes(width);
    const size_t step = size_t(bitsPerPixel_ / 8);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data + size_t(y) * stride;
        uint32_t* to = out + size_t(y) * size_t(width);
        if (native_) {
            // The screen's own words; the unused top byte is cleared.
            const uint32_t* in = reinterpret_cast<const uint32_t*>(row);
            for (int x = 0; x < width; ++x) to[x] = in[x] & 0x00FFFFFFu;
        } else if (bitsPerPixel_ == 16 && !msbFirst_) {
            for (int x = 0; x < width; ++x) to[x] = table_[uint32_t(row[2 * x]) | uint32_t(row[2 * x + 1]) << 8];
        } else if (!table_.empty()) {
            for (int x = 0; x < width; ++x) to[x] = table_[Read(row + x * step)];
        } else {
            for (int x = 0; x < width; ++x) to[x] = ToWord(Read(row + x * step));
        }
    }
}

uint32_t XPixelFormat::PixelOf(uint32_t rgb) const {
    if (indexed_) {
        rgb &= 0xFFFFFFu;
        if (auto found = entryOf_.find(rgb); found != entryOf_.end()) return found->second;
        if (nearest_.empty()) return 0;
        return nearest_[(rgb >> 19 & 31) << 10 | (rgb >> 11 & 31) << 5 | (rgb >> 3 & 31)];
    }
    return red_.reduce[(rgb >> 16) & 0xFF] | green_.reduce[(rgb >> 8) & 0xFF] | blue_.reduce[rgb & 0xFF];
}

void XPixelFormat::FromWords(const uint32_t* words, int width, uint8_t* out) const {
    const size_t step = size_t(bitsPerPixel_ / 8);
    std::memset(out, 0, RowBytes(width));
    if (bitsPerPixel_ == 16 && !msbFirst_) {
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = PixelOf(words[x]);
            out[2 * x] = uint8_t(pixel);
            out[2 * x + 1] = uint8_t(pixel >> 8);
        }
        return;
    }
    for (int x = 0; x < width; ++x) Write(PixelOf(words[x]), out + x * step);
}

std::vector<uint32_t> ReadColourMap(xcb_connection_t* connection, xcb_colormap_t colourMap, uint8_t depth) {
    std::vector<uint32_t> pixels(size_t{1} << depth);
    for (uint32_t i = 0; i < pixels.size(); ++i) pixels[i] = i;
    std::unique_ptr<xcb_query_colors_reply_t, decltype(&std::free)> reply(
        xcb_query_colors_reply(connection,
                               xcb_query_colors(connection, colourMap, uint32_t(pixels.size()), pixels.data()),
                               nullptr),
        &std::free);
    std::vector<uint32_t> colours;
    if (!reply) return colours;
    const xcb_rgb_t* rgb = xcb_query_colors_colors(reply.get());
    const int count = xcb_query_colors_colors_length(reply.get());
    for (int i = 0; i < count; ++i)
        colours.push_back(uint32_t(rgb[i].red >> 8) << 16 | uint32_t(rgb[i].green >> 8) << 8 | (rgb[i].blue >> 8));
    return colours;
}

}  // namespace kwp::qt
