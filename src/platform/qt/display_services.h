#pragma once
// What the Linux program does differently on an X11 and on a Wayland desktop:
// the screen copy, the system-wide hotkeys and what the single-instance guard
// is kept per. The rest (windows, dialogs, tray, clipboard) is plain Qt on
// both. The services are chosen once, at start, from the session the program
// finds itself in.
#include <QRect>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/bitmap.h"

namespace kwp::qt {

class XScreenGrab;

// Where system-wide hotkeys come from: X key grabs, or the desktop's
// shortcuts portal. Every source hands a pressed hotkey to the same delivery,
// from the event loop, as (id, hotkey message parameter).
class HotKeySource {
public:
    using Deliver = std::function<void(uint32_t id, uint32_t lParam)>;
    virtual ~HotKeySource() = default;
    // `systemModifiers` are RegisterHotKey's flags (1 Alt, 2 Ctrl, 4 Shift,
    // 8 Win). False when the combination cannot be had: taken by another
    // program, refused by the desktop, or no such key here.
    virtual bool Register(int id, uint32_t systemModifiers, uint8_t virtualKey) = 0;
    virtual void Unregister(int id) = 0;
};

class DisplayServices {
public:
    virtual ~DisplayServices() = default;
    virtual const char* Name() const = 0;  // "x11" / "wayland", for error reports
    // The pixels of `device` (the primary display, device pixels of the
    // desktop) as a bitmap of exactly that size.
    virtual core::Bitmap CopyScreen(const QRect& device) = 0;
    virtual HotKeySource& HotKeys() = 0;
    // What the single-instance guard is per: the display's name.
    virtual std::string GuardKey() const = 0;
    // The X grab whose bitmaps live in shared segments the overlay can show
    // through the server; null where the overlay paints with Qt.
    virtual const XScreenGrab* SharedGrab() const { return nullptr; }
};

// The X11 services on Qt's X connection; throws core::Error without one.
std::unique_ptr<DisplayServices> MakeX11Services(HotKeySource::Deliver deliver);
// The Wayland services (desktop portals on the session bus); null when no
// session bus can be reached.
std::unique_ptr<DisplayServices> MakeWaylandServices(HotKeySource::Deliver deliver);

// A Wayland session (WAYLAND_DISPLAY set, also beside XWayland's DISPLAY)
// gets the Wayland services; anything else the X11 ones.
std::unique_ptr<DisplayServices> ChooseDisplayServices(HotKeySource::Deliver deliver);

// Called before the application object exists: on a Wayland session, Qt's
// Wayland platform (X11 through XWayland only when that plugin is missing),
// unless the user chose a platform with QT_QPA_PLATFORM.
void ChooseQtPlatformPlugin();

}  // namespace kwp::qt
