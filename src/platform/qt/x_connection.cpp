#include "x_connection.h"

#include <QGuiApplication>

#include "core/error.h"

// Xlib's header defines macros (None, Bool, ...) that clash with Qt's names;
// it comes last and only here.
#include <X11/Xlib.h>

namespace kwp::qt {

XConnection CurrentXConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !x11->display())
        throw core::Error("kwpshot needs an X11 display (DISPLAY); Wayland alone is not supported");
    XConnection x;
    x.connection = x11->connection();
    int wanted = DefaultScreen(x11->display());
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(x.connection));
    for (int i = 0; it.rem; xcb_screen_next(&it), ++i) {
        if (i == wanted) {
            x.screen = it.data;
            break;
        }
    }
    if (!x.screen) throw core::Error("The X server has no default screen");
    x.root = x.screen->root;
    x.display = DisplayString(x11->display());
    return x;
}

}  // namespace kwp::qt
