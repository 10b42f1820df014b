#include "x_picture_painter.h"

#include "xcb_reply.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <utility>

namespace kwp::qt {

namespace {

constexpr uint8_t kDepth = 24;

const xcb_visualtype_t* FindVisual(xcb_connection_t* connection, xcb_visualid_t id) {
    for (auto screen = xcb_setup_roots_iterator(xcb_get_setup(connection)); screen.rem; xcb_screen_next(&screen))
        for (auto depth = xcb_screen_allowed_depths_iterator(screen.data); depth.rem; xcb_depth_next(&depth))
            for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem; xcb_visualtype_next(&visual))
                if (visual.data->visual_id == id) return visual.data;
    return nullptr;
}

// Depth-24 pixels travel as 32-bit words in our own byte order.
bool WordsAreOurs(xcb_connection_t* connection) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const bool lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    if (lsbFirst != (std::endian::native == std::endian::little)) return false;
    for (auto format = xcb_setup_pixmap_formats_iterator(setup); format.rem; xcb_format_next(&format))
        if (format.data->depth == kDepth) return format.data->bits_per_pixel == 32;
    return false;
}

}  // namespace

std::unique_ptr<XPicturePainter> XPicturePainter::For(xcb_connection_t* connection, xcb_window_t window) {
    if (!connection || !window || !WordsAreOurs(connection)) return nullptr;
    auto geometry = Own(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    auto attributes = Own(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr));
    if (!geometry || !attributes || geometry->depth != kDepth) return nullptr;
    const xcb_visualtype_t* visual = FindVisual(connection, attributes->visual);
    if (!visual || visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR || visual->red_mask != 0xFF0000u ||
        visual->green_mask != 0x00FF00u || visual->blue_mask != 0x0000FFu)
        return nullptr;
    return std::unique_ptr<XPicturePainter>(new XPicturePainter(connection, window));
}

XPicturePainter::XPicturePainter(xcb_connection_t* connection, xcb_window_t window)
    : connection_(connection), window_(window), gc_(xcb_generate_id(connection)) {
    // No GraphicsExpose or NoExpose events for our puts.
    const uint32_t values[] = {0};
    xcb_create_gc(connection_, gc_, window_, XCB_GC_GRAPHICS_EXPOSURES, values);
}

XPicturePainter::~XPicturePainter() {
    xcb_free_gc(connection_, gc_);
    xcb_flush(connection_);
}

void XPicturePainter::Fill(const core::Rect& area, uint32_t rgb) {
    if (area.Empty()) return;
    if (fillColour_ != rgb) {
        Sent(xcb_change_gc(connection_, gc_, XCB_GC_FOREGROUND, &rgb));
        fillColour_ = rgb;
    }
    const xcb_rectangle_t rectangle{int16_t(area.left), int16_t(area.top), uint16_t(area.Width()),
                                    uint16_t(area.Height())};
    Sent(xcb_poly_fill_rectangle(connection_, window_, gc_, 1, &rectangle));
}

void XPicturePainter::Put(const core::Bitmap& picture, std::optional<xcb_shm_seg_t> segment, const core::Rect& part,
                          int x, int y) {
    const core::Rect inside = part.Intersect(picture.Bounds());
    if (inside.Empty()) return;
    x += inside.left - part.left;
    y += inside.top - part.top;
    if (!segment) {
        PutThroughSocket(picture, inside, x, y);
        return;
    }
    Sent(xcb_shm_put_image(connection_, window_, gc_, uint16_t(picture.Width()), uint16_t(picture.Height()),
                           uint16_t(inside.left), uint16_t(inside.top), uint16_t(inside.Width()),
                           uint16_t(inside.Height()), int16_t(x), int16_t(y), kDepth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0,
                           *segment, 0));
}

void XPicturePainter::PutThroughSocket(const core::Bitmap& picture, const core::Rect& part, int x, int y) {
    // A request holds at most the server's maximum length, its header included.
    constexpr size_t kHeaderBytes = 24;
    const size_t maxWords = (size_t(xcb_get_maximum_request_length(connection_)) * 4 - kHeaderBytes) / 4;
    const int columns = int(std::min<size_t>(size_t(part.Width()), maxWords));
    const int rowsPerRequest = int(std::max<size_t>(1, maxWords / size_t(columns)));
    for (int top = part.top; top < part.bottom; top += rowsPerRequest) {
        const int rows = std::min(rowsPerRequest, part.bottom - top);
        for (int left = part.left; left < part.right; left += columns) {
            const int width = std::min(columns, part.right - left);
            rows_.resize(size_t(width) * size_t(rows));
            for (int r = 0; r < rows; ++r) {
                const uint32_t* from = picture.Row(top + r) + left;
                std::copy(from, from + width, rows_.begin() + ptrdiff_t(r) * width);
            }
            Sent(xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, uint16_t(width), uint16_t(rows),
                          int16_t(x + left - part.left), int16_t(y + top - part.top), 0, kDepth,
                          uint32_t(rows_.size() * 4), reinterpret_cast<const uint8_t*>(rows_.data())));
        }
    }
}

void XPicturePainter::Sent(xcb_void_cookie_t request) {
    if (!firstSequence_) firstSequence_ = request.sequence;
}

std::optional<uint32_t> XPicturePainter::Flush() {
    xcb_flush(connection_);
    return std::exchange(firstSequence_, std::nullopt);
}

}  // namespace kwp::qt
