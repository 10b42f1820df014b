#pragma once
// Paints a bitmap straight into an X window, with no client-side frame: from
// the shared segment a screen grab left it in (ShmPutImage: the server copies
// from memory it already maps), else with PutImage in pieces the server takes.
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/bitmap.h"
#include "core/geometry.h"
#include "core/pixel_format.h"
#include "x_screen_grab.h"

namespace kwp::qt {

class XPicturePainter {
public:
    // A painter for `window`, or null when its pixels are of a kind this does
    // not write (depth 32): then the caller paints another way. Windows whose
    // pixels are not 0x??RRGGBB words (depth 8, 15 or 16, for example) are
    // painted through the socket, converted on the way; colour-map windows
    // with the map as it was when the painter was made.
    static std::unique_ptr<XPicturePainter> For(xcb_connection_t* connection, xcb_window_t window);
    ~XPicturePainter();
    XPicturePainter(const XPicturePainter&) = delete;
    XPicturePainter& operator=(const XPicturePainter&) = delete;

    xcb_window_t Window() const { return window_; }
    // `area` (window pixels) in one colour 0xRRGGBB.
    void Fill(const core::Rect& area, uint32_t rgb);
    // The picture's pixels `part` at (x, y) of the window; `segment` is the
    // shared segment the picture's pixels are, if any.
    void Put(const core::Bitmap& picture, std::optional<xcb_shm_seg_t> segment, const core::Rect& part, int x, int y);
    // Sends what was asked; the server draws it in order after earlier
    // requests. Returns the sequence number of the first request since the
    // last flush (none when nothing was asked): what the server did up to an
    // event with an earlier number is covered by this paint.
    std::optional<uint32_t> Flush();

private:
    XPicturePainter(xcb_connection_t* connection, xcb_window_t window, core::PixelFormat format);
    void PutThroughSocket(const core::Bitmap& picture, const core::Rect& part, int x, int y);
    bool PutThroughMirror(const core::Bitmap& picture, const core::Rect& part, int x, int y);
    void Sent(xcb_void_cookie_t request);

    xcb_connection_t* connection_;
    xcb_window_t window_;
    xcb_gcontext_t gc_;
    core::PixelFormat format_;
    std::optional<uint32_t> fillColour_;
    std::optional<uint32_t> firstSequence_;
    std::vector<uint32_t> rows_;  // a piece of the picture on its way through the socket
    // For windows whose pixels are not the bitmap's words: a shared segment
    // holding the picture in the window's layout, and its picture's size.
    std::unique_ptr<SharedImageSegment> mirror_;
    int mirrorWidth_ = 0, mirrorHeight_ = 0;
    bool mirrorRefused_ = false;
};

}  // namespace kwp::qt
