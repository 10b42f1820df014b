#include "display_choice.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include "unique_fd.h"

namespace kwp::qt {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool XDisplayAnswers(const std::string& display) {
    if (display.empty()) return false;
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(display.c_str(), &screen);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

// The compositor's socket: WAYLAND_DISPLAY itself when absolute, else in
// XDG_RUNTIME_DIR. A socket handed over by the parent (WAYLAND_SOCKET) is
// taken as it is.
bool WaylandDisplayAnswers(const std::string& display) {
    if (!Env("WAYLAND_SOCKET").empty()) return true;
    if (display.empty()) return false;
    const std::string path = display[0] == '/' ? display : Env("XDG_RUNTIME_DIR") + "/" + display;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path[0] != '/' || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return fd.Valid() && ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

std::string Unreachable(const char* variable, const std::string& value) {
    return std::string("cannot connect to the display ") + variable + "=" + value;
}

}  // namespace

DisplayChoice ChooseDisplay() {
    const std::string x = Env("DISPLAY"), wayland = Env("WAYLAND_DISPLAY"), wanted = Env("QT_QPA_PLATFORM");
    if (wanted.rfind("xcb", 0) == 0)
        return XDisplayAnswers(x) ? DisplayChoice{wanted, {}} : DisplayChoice{{}, Unreachable("DISPLAY", x)};
    if (wanted.rfind("wayland", 0) == 0)
        return WaylandDisplayAnswers(wayland) ? DisplayChoice{wanted, {}}
                                              : DisplayChoice{{}, Unreachable("WAYLAND_DISPLAY", wayland)};
    if (!wanted.empty()) return {wanted, {}};

    if (x.empty() && wayland.empty() && Env("WAYLAND_SOCKET").empty())
        return {{}, "no display: neither DISPLAY nor WAYLAND_DISPLAY is set"};
    // A Wayland session runs on Wayland also where XWayland offers DISPLAY.
    if (WaylandDisplayAnswers(wayland)) return {"wayland", {}};
    if (XDisplayAnswers(x)) return {"xcb", {}};
    return {{}, !x.empty() ? Unreachable("DISPLAY", x) : Unreachable("WAYLAND_DISPLAY", wayland)};
}

}  // namespace kwp::qt
