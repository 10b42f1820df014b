// Another program holding a hotkey, for the end-to-end tests: grabs Ctrl+Q on
// the root window, with and without CapsLock and NumLock as kwpshot grabs its
// own hotkey, so that kwpshot's registration of the same combination fails.
// Prints "ready" once the server has accepted every grab (or "refused" and
// exits 1), then "pressed" for each press of the combination. Runs until
// killed.
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#define XK_LATIN1
#define XK_MISCELLANY
#include <X11/keysymdef.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

struct ConnectionDeleter {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
struct KeySymbolsDeleter {
    void operator()(xcb_key_symbols_t* s) const { xcb_key_symbols_free(s); }
};

xcb_keycode_t KeycodeOf(xcb_key_symbols_t* symbols, xcb_keysym_t keysym) {
    Reply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym));
    return codes ? codes.get()[0] : XCB_NO_SYMBOL;
}

// The modifier the Num_Lock key is mapped to (Mod2 on most keyboards).
uint16_t NumLockMask(xcb_connection_t* connection, xcb_key_symbols_t* symbols) {
    const xcb_keycode_t numLock = KeycodeOf(symbols, XK_Num_Lock);
    if (numLock == XCB_NO_SYMBOL) return 0;
    Reply<xcb_get_modifier_mapping_reply_t> map(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    if (!map) return 0;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
    for (int mod = 0; mod < 8; ++mod)
        for (int i = 0; i < map->keycodes_per_modifier; ++i)
            if (codes[mod * map->keycodes_per_modifier + i] == numLock) return uint16_t(1u << mod);
    return 0;
}

}  // namespace

int main() {
    std::unique_ptr<xcb_connection_t, ConnectionDeleter> connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get())) return 1;
    xcb_connection_t* c = connection.get();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter> symbols(xcb_key_symbols_alloc(c));

    const xcb_keycode_t q = KeycodeOf(symbols.get(), XK_q);
    if (q == XCB_NO_SYMBOL) return 1;
    const uint16_t numLock = NumLockMask(c, symbols.get());
    const uint16_t locks[] = {0, XCB_MOD_MASK_LOCK, numLock, uint16_t(XCB_MOD_MASK_LOCK | numLock)};

    bool refused = false;
    for (const uint16_t lock : locks) {
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(c, 1, root, XCB_MOD_MASK_CONTROL | lock, q,
                                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (Reply<xcb_generic_error_t> error{xcb_request_check(c, cookie)}) refused = true;
    }
    std::printf(refused ? "refused\n" : "ready\n");
    std::fflush(stdout);
    if (refused) return 1;

    // Events must be read, or the server's queue for us would grow.
    while (Reply<xcb_generic_event_t> event{xcb_wait_for_event(c)}) {
        if ((event->response_type & 0x7F) != XCB_KEY_PRESS) continue;
        std::printf("pressed\n");
        std::fflush(stdout);
    }
    return 0;
}
