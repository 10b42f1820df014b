#pragma once
// The display the program runs on, chosen before Qt's application object
// exists: Qt ends the process (with a core dump) when the display it is given
// cannot be reached, so the program looks first and says so itself.
#include <string>

namespace kwp::qt {

struct DisplayChoice {
    std::string qtPlatform;  // the Qt platform plugin to start; empty with `problem`
    std::string problem;     // one line: why there is no display to run on
};

// QT_QPA_PLATFORM names the plugin when set (only "xcb" and "wayland" are
// checked); else a Wayland display that answers (WAYLAND_DISPLAY) comes
// first, also under XWayland, then an X display that answers (DISPLAY).
DisplayChoice ChooseDisplay();

}  // namespace kwp::qt
