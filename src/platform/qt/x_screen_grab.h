#pragma once
// Copies of the screen from the X server: through MIT-SHM where the server
// offers it (one copy inside the server, none through the socket, and the
// bitmap handed out IS the shared segment), else the plain GetImage request.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <xcb/shm.h>

#include "core/bitmap.h"
#include "x_connection.h"
#include "x_pixel_format.h"

namespace kwp::qt {

// A System V shared-memory segment attached to the X server; detached and
// removed when destroyed.
class SharedImageSegment {
public:
    // Throws core::Error when the segment cannot be made or attached.
    SharedImageSegment(xcb_connection_t* connection, size_t bytes);
    ~SharedImageSegment();
    SharedImageSegment(const SharedImageSegment&) = delete;
    SharedImageSegment& operator=(const SharedImageSegment&) = delete;

    size_t Size() const { return bytes_; }
    xcb_shm_seg_t Id() const { return seg_; }
    uint32_t* Pixels() const { return static_cast<uint32_t*>(address_); }

private:
    xcb_connection_t* connection_;
    size_t bytes_;
    void* address_ = nullptr;
    xcb_shm_seg_t seg_ = 0;
};

class XScreenGrab {
public:
    explicit XScreenGrab(XConnection x);
    ~XScreenGrab();
    XScreenGrab(const XScreenGrab&) = delete;
    XScreenGrab& operator=(const XScreenGrab&) = delete;

    bool UsesSharedMemory() const { return shmAvailable_; }

    // The root window's (x, y, width, height) as a bitmap of 0x00RRGGBB
    // words whose bitsPerPixel is 32 on a depth-32 screen, else 24; pixels
    // of other depths (8, 15, 16, 30) are converted on the way in. Where the
    // screen's pixels already are such words, the bitmap's pixels through
    // MIT-SHM are the shared segment itself (top bytes undefined); the
    // segment comes back for the next grab once the bitmap is dropped.
    // Throws core::Error("Canvas does not allow drawing") when it cannot be
    // read.
    core::Bitmap Copy(int x, int y, int width, int height);
    // The same through GetImage, whatever the server offers.
    core::Bitmap CopyWithGetImage(int x, int y, int width, int height);
    // Only the server's copy into the shared segment (the benchmark's
    // reference); the pixels stay in the segment.
    const uint32_t* GrabToSharedMemory(int x, int y, int width, int height);

    // The shared segment a bitmap from Copy() lives in, so the server can
    // show it without the pixels crossing the socket; nothing for a bitmap
    // in ordinary memory.
    std::optional<xcb_shm_seg_t> SegmentOf(const core::Bitmap& bitmap) const;

private:
    // The segments lent out in bitmaps and the one spare kept for the next
    // grab; shared with the bitmaps' release, which may come after the grab
    // object is gone.
    struct Segments {
        std::unique_ptr<SharedImageSegment> spare;
        std::vector<const SharedImageSegment*> lent;
    };

    // The screen's pixel format, its colour map read afresh; throws when the
    // server's pixels are of a kind that cannot be converted.
    const core::PixelFormat& Format();
    // The spare segment if it is large enough, else a new one; throws when
    // the server cannot attach it.
    std::unique_ptr<SharedImageSegment> SegmentFor(int width, int height);
    // False when the server did not fill the segment.
    bool GrabInto(const SharedImageSegment& segment, int x, int y, int width, int height);
    // A segment holding the grab, or a throw.
    std::unique_ptr<SharedImageSegment> GrabIntoSegment(int x, int y, int width, int height);
    core::Bitmap LendAsBitmap(std::unique_ptr<SharedImageSegment> segment, int width, int height);
    core::Bitmap ToBitmap(const uint8_t* data, int width, int height) const;
    int Depth() const;

    XConnection x_;
    bool shmAvailable_ = false;
    std::optional<core::PixelFormat> format_;
    std::shared_ptr<Segments> segments_ = std::make_shared<Segments>();
};

}  // namespace kwp::qt
