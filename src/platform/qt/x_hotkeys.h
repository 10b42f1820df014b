#pragma once
// System-wide hotkeys as passive key grabs on the root window. Each hotkey is
// grabbed four times, with and without NumLock and CapsLock, so those locks
// do not stop it. A grab another client already holds (BadAccess) is a failed
// registration, found out before Register returns.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include <QAbstractNativeEventFilter>
#include <xcb/xcb_keysyms.h>

#include "display_services.h"
#include "x_connection.h"

namespace kwp::qt {

class XHotKeys : public QAbstractNativeEventFilter, public HotKeySource {
public:
    // `deliver` gets (id, hotkey message parameter), from the event loop.
    XHotKeys(XConnection x, Deliver deliver);
    ~XHotKeys() override;
    XHotKeys(const XHotKeys&) = delete;
    XHotKeys& operator=(const XHotKeys&) = delete;

    // `systemModifiers` are RegisterHotKey's flags (1 Alt, 2 Ctrl, 4 Shift,
    // 8 Win). False when the key has no keycode on this keyboard, the id or
    // the combination is taken, or another client holds the grab.
    bool Register(int id, uint32_t systemModifiers, uint8_t virtualKey) override;
    void Unregister(int id) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        xcb_keycode_t keycode;
        uint16_t modifiers;  // X modifier mask
        uint8_t virtualKey;
        uint32_t systemModifiers;
    };
    uint16_t LockMasks(int variant) const;
    void Ungrab(const Grab& grab);
    void FindNumLockMask();

    XConnection x_;
    std::shared_ptr<Deliver> deliver_;
    std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t*)> symbols_;
    uint16_t numLockMask_ = XCB_MOD_MASK_2;
    std::map<int, Grab> grabs_;
};

}  // namespace kwp::qt
