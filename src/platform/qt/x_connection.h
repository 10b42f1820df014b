#pragma once
// The X server connection Qt opened, and the root window of its default screen.
#include <xcb/xcb.h>

#include <string>

namespace kwp::qt {

struct XConnection {
    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;
    xcb_window_t root = 0;
    std::string display;  // the display's name, ":0"
};

// The running QGuiApplication's X connection; throws core::Error when the
// application does not run on X11.
XConnection CurrentXConnection();

}  // namespace kwp::qt
