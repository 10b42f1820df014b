#include "x_picture_painter.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "core/error.h"

#include "x_pixel_format.h"
#include "xcb_reply.h"

namespace kwp::qt {

std::unique_ptr<XPicturePainter> XPicturePainter::For(xcb_connection_t* connection, xcb_window_t window) {
    if (!connection || !window) return nullptr;
    auto geometry = Own(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    auto attributes = Own(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr));
    if (!geometry || !attributes) return nullptr;
    std::optional<core::PixelFormat> format = XPixelFormat(connection, geometry->depth, attributes->visual);
    // Depth 32 is left to the toolkit: its top byte would be taken as alpha.
    if (!format || format->Depth() == 32) return nullptr;
    if (format->UsesColourMap()) {
        std::vector<uint32_t> colours = ReadColourMap(connection, attributes->colormap, format->Depth());
        if (colours.empty()) return nullptr;
        format->SetColourMap(std::move(colours), true);
    }
    return std::unique_ptr<XPicturePainter>(new XPicturePainter(connection, window, std::move(*format)));
}

XPicturePainter::XPicturePainter(xcb_connection_t* connection, xcb_window_t window, core::PixelFormat format)
    : connection_(connection), window_(window), gc_(xcb_generate_id(connection)), format_(std::move(format)) {
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
        const uint32_t pixel = format_.PixelOf(rgb);
        Sent(xcb_change_gc(connection_, gc_, XCB_GC_FOREGROUND, &pixel));
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
    // The segment holds words 0x??RRGGBB: shown as they are where the
    // window's pixels are such words.
    if (!format_.IsNative() && PutThroughMirror(picture, inside, x, y)) return;
    if (!segment || !format_.IsNative()) {
        PutThroughSocket(picture, inside, x, y);
        return;
    }
    Sent(xcb_shm_put_image(connection_, window_, gc_, uint16_t(picture.Width()), uint16_t(picture.Height()),
                           uint16_t(inside.left), uint16_t(inside.top), uint16_t(inside.Width()),
                           uint16_t(inside.Height()), int16_t(x), int16_t(y), format_.Depth(),
                           XCB_IMAGE_FORMAT_Z_PIXMAP, 0, *segment, 0));
}

// Only the part asked for is converted into the mirror, and the server copies
// it from there when it runs the request. If it runs it after a later Put
// rewrote those pixels, it shows the newer ones, which that put shows anyway.
bool XPicturePainter::PutThroughMirror(const core::Bitmap& picture, const core::Rect& part, int x, int y) {
    if (mirrorRefused_) return false;
    const size_t stride = format_.RowBytes(picture.Width());
    if (picture.Width() != mirrorWidth_ || picture.Height() != mirrorHeight_) {
        // Rows of another length: the server must be done with the old ones.
        if (mirror_) std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
        if (!mirror_ || mirror_->Size() < stride * size_t(picture.Height())) {
            mirror_.reset();
            const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection_, &xcb_shm_id);
            try {
                if (!shm || !shm->present) throw core::Error("no MIT-SHM");
                mirror_ = std::make_unique<SharedImageSegment>(connection_, stride * size_t(picture.Height()));
            } catch (const core::Error&) {
                mirrorRefused_ = true;  // through the socket from now on
                return false;
            }
        }
        mirrorWidth_ = picture.Width();
        mirrorHeight_ = picture.Height();
    }
    uint8_t* base = reinterpret_cast<uint8_t*>(mirror_->Pixels());
    const size_t step = size_t(format_.BitsPerPixel() / 8);
    for (int row = part.top; row < part.bottom; ++row)
        format_.FromWords(picture.Row(row) + part.left, part.Width(),
                          base + size_t(row) * stride + size_t(part.left) * step);
    Sent(xcb_shm_put_image(connection_, window_, gc_, uint16_t(picture.Width()), uint16_t(picture.Height()),
                           uint16_t(part.left), uint16_t(part.top), uint16_t(part.Width()), uint16_t(part.Height()),
                           int16_t(x), int16_t(y), uint8_t(format_.Depth()), XCB_IMAGE_FORMAT_Z_PIXMAP, 0,
                           mirror_->Id(), 0));
    return true;
}

void XPicturePainter::PutThroughSocket(const core::Bitmap& picture, const core::Rect& part, int x, int y) {
    // A request holds at most the server's maximum length, its header included.
    constexpr size_t kHeaderBytes = 24;
    const size_t maxBytes = size_t(xcb_get_maximum_request_length(connection_)) * 4 - kHeaderBytes;
    const int columns = int(std::min<size_t>(size_t(part.Width()), maxBytes / 4));
    const size_t rowBytes = format_.RowBytes(columns);
    const int rowsPerRequest = int(std::max<size_t>(1, maxBytes / rowBytes));
    for (int top = part.top; top < part.bottom; top += rowsPerRequest) {
        const int rows = std::min(rowsPerRequest, part.bottom - top);
        for (int left = part.left; left < part.right; left += columns) {
            const int width = std::min(columns, part.right - left);
            const size_t stride = format_.RowBytes(width);
            rows_.resize(stride * size_t(rows) / 4 + 1);
            uint8_t* bytes = reinterpret_cast<uint8_t*>(rows_.data());
            for (int r = 0; r < rows; ++r) {
                const uint32_t* from = picture.Row(top + r) + left;
                if (format_.IsNative())
                    std::copy(from, from + width, rows_.begin() + ptrdiff_t(r) * width);
                else
                    format_.FromWords(from, width, bytes + size_t(r) * stride);
            }
            Sent(xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, uint16_t(width), uint16_t(rows),
                               int16_t(x + left - part.left), int16_t(y + top - part.top), 0, format_.Depth(),
                               uint32_t(stride * size_t(rows)), bytes));
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
