#pragma once
// The overlay's picture on Wayland, shown from the bitmap's own shared memory
// in a sub-surface of the overlay's window: Qt's backing store would copy its
// whole buffer on every repaint while the compositor holds the last one (at
// 3840x2160, 33 MB per crosshair move). Here a change sends only the damaged
// rectangles; the compositor reads the pixels where the canvas drew them.
// The sub-surface takes no input (the pointer stays with the window) and
// follows the window's own commits on its own (desynchronised).
#include <QRect>
#include <QWindow>
#include <cstdint>
#include <memory>

#include "core/bitmap.h"
#include "wl_shared_bitmap.h"

struct wl_display;
struct wl_event_queue;
struct wl_registry;
struct wl_compositor;
struct wl_subcompositor;
struct wl_shm;
struct wl_surface;
struct wl_subsurface;
struct wl_buffer;

namespace kwp::qt {

class WlPictureSurface {
public:
    // Null when `window` is not a Wayland window with a surface yet, or the
    // compositor lacks what is needed.
    static std::unique_ptr<WlPictureSurface> For(QWindow* window);
    // The window's Wayland surface now (Qt makes a new one at each show).
    static wl_surface* SurfaceOf(QWindow* window);
    ~WlPictureSurface();
    WlPictureSurface(const WlPictureSurface&) = delete;
    WlPictureSurface& operator=(const WlPictureSurface&) = delete;

    wl_surface* Parent() const { return parent_; }
    // Shows `pixels` (a bitmap of `size` device pixels) with its top-left at
    // `origin` (device pixels of the window), at integer `scale`.
    void Show(const SharedPixels& pixels, const QSize& size, const QPoint& origin, int scale);
    // The picture's pixels under `device` (picture pixels) changed.
    void Damage(const QRect& device);
    // Nothing shown: the window's own content is seen.
    void Clear();
    // Waits until the compositor has handled every request sent so far.
    void RoundTrip();
    bool Showing(const SharedPixels& pixels) const { return buffer_ && serial_ == pixels.serial; }

private:
    WlPictureSurface() = default;
    void Commit();

    wl_display* display_ = nullptr;
    wl_event_queue* queue_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_subcompositor* subcompositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_surface* parent_ = nullptr;
    wl_surface* surface_ = nullptr;
    wl_subsurface* subsurface_ = nullptr;
    wl_buffer* buffer_ = nullptr;
    uint64_t serial_ = 0;  // the memory `buffer_` shows
    uint32_t version_ = 0;  // of wl_compositor: damage in buffer pixels from 4 on
    int scale_ = 1;
};

}  // namespace kwp::qt
