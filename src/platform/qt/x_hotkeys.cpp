#include "x_hotkeys.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <cstdlib>

#include "core/hotkey_value.h"
#include "x_keysym_table.h"
#include "xcb_reply.h"

#define XK_MISCELLANY
#include <X11/keysymdef.h>

namespace kwp::qt {

namespace {

// The modifiers a hotkey is made of; the lock modifiers are left out.
constexpr uint16_t kHotKeyModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

uint16_t XModifiers(uint32_t systemModifiers) {
    uint16_t mask = 0;
    if (systemModifiers & core::kModShift) mask |= XCB_MOD_MASK_SHIFT;
    if (systemModifiers & core::kModControl) mask |= XCB_MOD_MASK_CONTROL;
    if (systemModifiers & core::kModAlt) mask |= XCB_MOD_MASK_1;
    if (systemModifiers & core::kModWin) mask |= XCB_MOD_MASK_4;
    return mask;
}

}  // namespace

XHotKeys::XHotKeys(XConnection x, Deliver deliver)
    : x_(x), deliver_(std::make_shared<Deliver>(std::move(deliver))), symbols_(xcb_key_symbols_alloc(x.connection), &xcb_key_symbols_free) {
    FindNumLockMask();
}

XHotKeys::~XHotKeys() {
    for (auto& [id, grab] : grabs_) Ungrab(grab);
    xcb_flush(x_.connection);
}

// NumLock is whichever modifier the Num_Lock key is mapped to (Mod2 nearly
// everywhere, but the keyboard map decides).
void XHotKeys::FindNumLockMask() {
    const auto numLock = Own(xcb_key_symbols_get_keycode(symbols_.get(), XK_Num_Lock));
    if (!numLock || *numLock == XCB_NO_SYMBOL) return;
    const auto reply =
        Own(xcb_get_modifier_mapping_reply(x_.connection, xcb_get_modifier_mapping(x_.connection), nullptr));
    if (!reply) return;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    for (int mod = 0; mod < 8; ++mod)
        for (int i = 0; i < perModifier; ++i)
            if (codes[mod * perModifier + i] == *numLock) numLockMask_ = uint16_t(1u << mod);
}

uint16_t XHotKeys::LockMasks(int variant) const {
    uint16_t mask = 0;
    if (variant & 1) mask |= XCB_MOD_MASK_LOCK;
    if (variant & 2) mask |= numLockMask_;
    return mask;
}

bool XHotKeys::Register(int id, uint32_t systemModifiers, uint8_t virtualKey) {
    if (grabs_.count(id)) return false;
    const uint32_t keysym = KeysymForVirtualKey(virtualKey);
    if (keysym == 0) return false;
    const auto codes = Own(xcb_key_symbols_get_keycode(symbols_.get(), keysym));
    if (!codes || codes.get()[0] == XCB_NO_SYMBOL) return false;  // not on this keyboard

    Grab grab{codes.get()[0], XModifiers(systemModifiers), virtualKey, systemModifiers};
    for (const auto& [otherId, other] : grabs_)
        if (other.keycode == grab.keycode && other.modifiers == grab.modifiers) return false;

    xcb_void_cookie_t cookies[4];
    for (int variant = 0; variant < 4; ++variant)
        cookies[variant] = xcb_grab_key_checked(x_.connection, 1, x_.root, grab.modifiers | LockMasks(variant),
                                                grab.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    bool refused = false;
    for (auto cookie : cookies) {
        // BadAccess: another client holds it; any other error also means
        // the grab is not in place.
        if (Own(xcb_request_check(x_.connection, cookie))) refused = true;
    }
    if (refused) {
        // Another client holds the combination: give back what we did get.
        Ungrab(grab);
        xcb_flush(x_.connection);
        return false;
    }
    grabs_.emplace(id, grab);
    return true;
}

void XHotKeys::Unregister(int id) {
    auto it = grabs_.find(id);
    if (it == grabs_.end()) return;
    Ungrab(it->second);
    grabs_.erase(it);
    xcb_flush(x_.connection);
}

void XHotKeys::Ungrab(const Grab& grab) {
    for (int variant = 0; variant < 4; ++variant)
        xcb_ungrab_key(x_.connection, grab.keycode, x_.root, grab.modifiers | LockMasks(variant));
}

bool XHotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & 0x7F;
    if (type == XCB_MAPPING_NOTIFY) {
        xcb_refresh_keyboard_mapping(symbols_.get(), reinterpret_cast<xcb_mapping_notify_event_t*>(event));
        return false;  // Qt wants it too
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (key->event != x_.root) return false;
    const uint16_t modifiers = key->state & kHotKeyModifiers;
    for (const auto& [id, grab] : grabs_) {
        if (grab.keycode != key->detail || grab.modifiers != modifiers) continue;
        if (type == XCB_KEY_PRESS) {
            // Delivered from the event loop, like a posted WM_HOTKEY, so the
            // handler may open modal boxes without nesting inside Qt's reader.
            const uint32_t wParam = uint32_t(id);
            const uint32_t lParam = core::HotKeyMessageParam(grab.virtualKey, grab.systemModifiers);
            std::weak_ptr<Deliver> deliver = deliver_;  // gone if we are destroyed first
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [deliver, wParam, lParam] {
                    if (auto d = deliver.lock()) (*d)(wParam, lParam);
                },
                Qt::QueuedConnection);
        }
        return true;
    }
    return false;
}

}  // namespace kwp::qt
