#pragma once
// X11 services of the Linux platform (xcb on Qt's own X connection).
//  [x] CopyScreen     MIT-SHM grab of the root window (GetImage without it);
//                     the overlay shows the shared segment through the server
//  [x] system hotkeys passive key grabs on the root window; a combination
//                     another client holds is known when Register returns
//  [x] guard key      the X display's name
#include <memory>

#include "display_services.h"
#include "x_connection.h"
#include "x_hotkeys.h"
#include "x_screen_grab.h"

namespace kwp::qt {

class X11Services : public DisplayServices {
public:
    X11Services(XConnection x, HotKeySource::Deliver deliver);
    ~X11Services() override;
    X11Services(const X11Services&) = delete;
    X11Services& operator=(const X11Services&) = delete;

    const char* Name() const override { return "x11"; }
    core::Bitmap CopyScreen(const QRect& device) override;
    HotKeySource& HotKeys() override { return hotKeys_; }
    std::string GuardKey() const override { return x_.display; }
    const XScreenGrab* SharedGrab() const override { return &grab_; }

private:
    XConnection x_;
    XHotKeys hotKeys_;
    XScreenGrab grab_;
};

}  // namespace kwp::qt
