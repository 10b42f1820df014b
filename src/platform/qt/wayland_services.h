#pragma once
// Wayland services of the Linux platform (xdg-desktop-portal over D-Bus).
//  [x] CopyScreen     Screenshot portal, not interactive; the primary
//                     display's part of its picture, 1:1 in device pixels; a
//                     scratch file it wrote is removed once read
//  [x] system hotkeys GlobalShortcuts portal where the desktop offers it; a
//                     refused key is known when the bind answers
//  [~] no such portal the program runs without a hotkey; a desktop shortcut
//                     runs `kwpshot --capture`
//  [~] overlay on top full-screen window on the primary output; some
//                     compositors keep their panels above it
//  [x] guard key      the Wayland display's name
#include <QDBusConnection>
#include <memory>

#include "display_services.h"
#include "portal_screen.h"
#include "portal_shortcuts.h"

namespace kwp::qt {

class WaylandServices : public DisplayServices {
public:
    WaylandServices(QDBusConnection bus, HotKeySource::Deliver deliver);

    const char* Name() const override { return "wayland"; }
    core::Bitmap CopyScreen(const QRect& device) override { return screen_.CopyScreen(device.size()); }
    HotKeySource& HotKeys() override { return *hotKeys_; }
    std::string GuardKey() const override;

private:
    PortalScreen screen_;
    std::unique_ptr<PortalShortcuts> hotKeys_;
};

// "wayland-<name>" for WAYLAND_DISPLAY's name, or its socket's path with "/"
// made harmless: one key per Wayland session, never an X display's.
std::string WaylandGuardKey(const std::string& waylandDisplay);

}  // namespace kwp::qt
