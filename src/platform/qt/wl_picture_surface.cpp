#include "wl_picture_surface.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstring>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

namespace kwp::qt {

namespace {

struct Globals {
    wl_compositor* compositor = nullptr;
    uint32_t compositorVersion = 0;
    wl_subcompositor* subcompositor = nullptr;
    wl_shm* shm = nullptr;
};

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && version >= 3) {
        globals->compositorVersion = std::min<uint32_t>(version, 4);
        globals->compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, globals->compositorVersion));
    }
    else if (std::strcmp(interface, wl_subcompositor_interface.name) == 0)
        globals->subcompositor =
            static_cast<wl_subcompositor*>(wl_registry_bind(registry, name, &wl_subcompositor_interface, 1));
    else if (std::strcmp(interface, wl_shm_interface.name) == 0)
        globals->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
}

void GlobalRemoved(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {Global, GlobalRemoved};

}  // namespace

wl_surface* WlPictureSurface::SurfaceOf(QWindow* window) {
    if (!window || !window->handle() || QGuiApplication::platformName() != QLatin1String("wayland")) return nullptr;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    return native ? static_cast<wl_surface*>(native->nativeResourceForWindow("surface", window)) : nullptr;
}

std::unique_ptr<WlPictureSurface> WlPictureSurface::For(QWindow* window) {
    wl_surface* parent = SurfaceOf(window);
    if (!parent) return nullptr;
    auto* display = static_cast<wl_display*>(
        QGuiApplication::platformNativeInterface()->nativeResourceForIntegration("wl_display"));
    if (!display) return nullptr;

    std::unique_ptr<WlPictureSurface> self(new WlPictureSurface);
    self->display_ = display;
    self->parent_ = parent;
    // Our own queue: Qt reads the socket, our objects' events wait here.
    self->queue_ = wl_display_create_queue(display);
    auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), self->queue_);
    self->registry_ = wl_display_get_registry(wrapped);
    wl_proxy_wrapper_destroy(wrapped);
    Globals globals;
    wl_registry_add_listener(self->registry_, &kRegistryListener, &globals);
    if (wl_display_roundtrip_queue(display, self->queue_) < 0) return nullptr;
    self->compositor_ = globals.compositor;
    self->version_ = globals.compositorVersion;
    self->subcompositor_ = globals.subcompositor;
    self->shm_ = globals.shm;
    if (!self->compositor_ || !self->subcompositor_ || !self->shm_) return nullptr;

    self->surface_ = wl_compositor_create_surface(self->compositor_);
    self->subsurface_ = wl_subcompositor_get_subsurface(self->subcompositor_, self->surface_, parent);
    wl_subsurface_set_desync(self->subsurface_);
    wl_subsurface_place_above(self->subsurface_, parent);
    // The pointer goes through to the window below, which Qt reads.
    wl_region* none = wl_compositor_create_region(self->compositor_);
    wl_surface_set_input_region(self->surface_, none);
    wl_region_destroy(none);
    self->Commit();
    return self;
}

WlPictureSurface::~WlPictureSurface() {
    if (buffer_) wl_buffer_destroy(buffer_);
    if (subsurface_) wl_subsurface_destroy(subsurface_);
    if (surface_) wl_surface_destroy(surface_);
    if (shm_) wl_shm_destroy(shm_);
    if (subcompositor_) wl_subcompositor_destroy(subcompositor_);
    if (compositor_) wl_compositor_destroy(compositor_);
    if (registry_) wl_registry_destroy(registry_);
    if (display_) wl_display_flush(display_);
    if (queue_) wl_event_queue_destroy(queue_);
}

void WlPictureSurface::Show(const SharedPixels& pixels, const QSize& size, const QPoint& origin, int scale) {
    if (buffer_) wl_buffer_destroy(buffer_);
    wl_shm_pool* pool = wl_shm_create_pool(shm_, pixels.fd, int32_t(pixels.bytes));
    buffer_ = wl_shm_pool_create_buffer(pool, 0, size.width(), size.height(), size.width() * 4,
                                        WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    serial_ = pixels.serial;
    scale_ = scale;
    wl_subsurface_set_position(subsurface_, origin.x() / scale, origin.y() / scale);
    wl_surface_set_buffer_scale(surface_, scale);
    wl_surface_attach(surface_, buffer_, 0, 0);
    wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
    Commit();
}

void WlPictureSurface::Damage(const QRect& device) {
    if (!buffer_ || device.isEmpty()) return;
    // The pixels changed where they are: the same buffer, attached again so
    // that the compositor reads it anew.
    wl_surface_attach(surface_, buffer_, 0, 0);
    if (version_ >= 4) {
        wl_surface_damage_buffer(surface_, device.x(), device.y(), device.width(), device.height());
    } else {
        const int left = device.left() / scale_, top = device.top() / scale_;
        const int right = (device.right() + scale_) / scale_, bottom = (device.bottom() + scale_) / scale_;
        wl_surface_damage(surface_, left, top, right - left, bottom - top);
    }
    Commit();
}

void WlPictureSurface::Clear() {
    if (!buffer_) return;
    wl_surface_attach(surface_, nullptr, 0, 0);
    Commit();
    wl_buffer_destroy(buffer_);
    buffer_ = nullptr;
    serial_ = 0;
}

void WlPictureSurface::RoundTrip() { wl_display_roundtrip_queue(display_, queue_); }

void WlPictureSurface::Commit() {
    wl_surface_commit(surface_);
    wl_display_dispatch_queue_pending(display_, queue_);  // buffer releases: nothing to do
    wl_display_flush(display_);
}

}  // namespace kwp::qt
