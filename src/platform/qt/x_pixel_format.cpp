#include "x_pixel_format.h"

#include <cstdlib>
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

std::optional<core::PixelFormat> XPixelFormat(xcb_connection_t* connection, uint8_t depth, xcb_visualid_t visualId) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_visualtype_t* visual = FindVisual(setup, visualId);
    if (!visual) return std::nullopt;
    core::PixelLayout layout;
    layout.depth = depth;
    layout.bitsPerPixel = 0;
    layout.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth != depth) continue;
        layout.bitsPerPixel = f.data->bits_per_pixel;
        layout.rowPadBits = f.data->scanline_pad;
    }
    if (IsColourMapClass(visual->_class)) {
        layout.redMask = layout.greenMask = layout.blueMask = 0;
    } else {
        layout.redMask = visual->red_mask;
        layout.greenMask = visual->green_mask;
        layout.blueMask = visual->blue_mask;
    }
    return core::PixelFormat::Of(layout);
}

std::optional<core::PixelFormat> XScreenPixelFormat(xcb_connection_t* connection, const xcb_screen_t* screen) {
    return XPixelFormat(connection, screen->root_depth, screen->root_visual);
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
