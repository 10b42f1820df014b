#include "wayland_services.h"

#include <cstdlib>

namespace kwp::qt {

WaylandServices::WaylandServices(QDBusConnection bus, HotKeySource::Deliver deliver)
    : hotKeys_(std::make_unique<PortalShortcuts>(bus, std::move(deliver))) {}

std::string WaylandServices::GuardKey() const {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    return WaylandGuardKey(display ? display : "");
}

std::string WaylandGuardKey(const std::string& waylandDisplay) {
    std::string key = waylandDisplay.empty() ? "wayland-0" : waylandDisplay;
    for (char& c : key)
        if (c == '/' || c == ':') c = '_';
    if (key.rfind("wayland", 0) != 0) key = "wayland-" + key;
    return key;
}

std::unique_ptr<DisplayServices> MakeWaylandServices(HotKeySource::Deliver deliver) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return nullptr;
    return std::make_unique<WaylandServices>(bus, std::move(deliver));
}

}  // namespace kwp::qt
