#include "display_services.h"

#include <cstdlib>

#include "core/error.h"

namespace kwp::qt {

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

}  // namespace

std::unique_ptr<DisplayServices> ChooseDisplayServices(HotKeySource::Deliver deliver) {
    // Under XWayland an X screen read sees only X windows and a key grab
    // fires only while an X window has the focus: a Wayland session is served
    // by the portals even when Qt itself runs on X.
    if (IsSet("WAYLAND_DISPLAY"))
        if (auto services = MakeWaylandServices(deliver)) return services;
    return MakeX11Services(std::move(deliver));
}

void ChooseQtPlatformPlugin() {
    if (IsSet("WAYLAND_DISPLAY") && !IsSet("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "wayland;xcb", 1);
}

}  // namespace kwp::qt
