// A minimal clipboard manager for the end-to-end tests: it owns
// CLIPBOARD_MANAGER, and when a program that ends asks it to SAVE_TARGETS, it
// fetches the clipboard's image/png, takes the clipboard over and serves that
// image from then on. Prints "ready" once it owns the manager selection and
// "saved <bytes>" after a hand-over. Runs until killed.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

xcb_connection_t* connection;
xcb_window_t window;

xcb_atom_t Atom(const char* name) {
    auto* reply = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, strlen(name), name), nullptr);
    xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
}

void Notify(const xcb_selection_request_event_t* request, xcb_atom_t property) {
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request->time;
    notify.requestor = request->requestor;
    notify.selection = request->selection;
    notify.target = request->target;
    notify.property = property;
    xcb_send_event(connection, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<char*>(&notify));
    xcb_flush(connection);
}

// Waits for the SelectionNotify of our own conversion, then reads the data.
std::vector<uint8_t> Fetch(xcb_atom_t selection, xcb_atom_t target, xcb_atom_t property) {
    xcb_convert_selection(connection, window, selection, target, property, XCB_CURRENT_TIME);
    xcb_flush(connection);
    for (;;) {
        xcb_generic_event_t* event = xcb_wait_for_event(connection);
        if (!event) return {};
        const bool done = (event->response_type & 0x7F) == XCB_SELECTION_NOTIFY;
        const bool ok = done && reinterpret_cast<xcb_selection_notify_event_t*>(event)->property != XCB_NONE;
        std::free(event);
        if (!done) continue;
        if (!ok) return {};
        auto* reply = xcb_get_property_reply(
            connection, xcb_get_property(connection, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 28),
            nullptr);
        std::vector<uint8_t> data;
        if (reply) {
            auto* bytes = static_cast<const uint8_t*>(xcb_get_property_value(reply));
            data.assign(bytes, bytes + xcb_get_property_value_length(reply));
            std::free(reply);
        }
        return data;
    }
}

}  // namespace

int main() {
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    window = xcb_generate_id(connection);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t manager = Atom("CLIPBOARD_MANAGER"), saveTargets = Atom("SAVE_TARGETS"),
                     clipboard = Atom("CLIPBOARD"), targets = Atom("TARGETS"), png = Atom("image/png"),
                     property = Atom("KWPSHOT_TEST_DATA");
    xcb_set_selection_owner(connection, window, manager, XCB_CURRENT_TIME);
    xcb_flush(connection);
    std::printf("ready\n");
    std::fflush(stdout);

    std::vector<uint8_t> saved;
    for (xcb_generic_event_t* event; (event = xcb_wait_for_event(connection)); std::free(event)) {
        if ((event->response_type & 0x7F) != XCB_SELECTION_REQUEST) continue;
        auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
        const xcb_atom_t answer = request->property ? request->property : request->target;
        if (request->selection == manager && request->target == saveTargets) {
            saved = Fetch(clipboard, png, property);
            Notify(request, saved.empty() ? XCB_NONE : answer);
            if (!saved.empty()) {
                xcb_set_selection_owner(connection, window, clipboard, XCB_CURRENT_TIME);
                xcb_flush(connection);
                std::printf("saved %zu\n", saved.size());
                std::fflush(stdout);
            }
        } else if (request->selection == clipboard && request->target == targets && !saved.empty()) {
            const xcb_atom_t list[] = {targets, png};
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor, answer, XCB_ATOM_ATOM, 32, 2,
                                list);
            Notify(request, answer);
        } else if (request->selection == clipboard && request->target == png && !saved.empty()) {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor, answer, png, 8,
                                saved.size(), saved.data());
            Notify(request, answer);
        } else {
            Notify(request, XCB_NONE);
        }
    }
    return 0;
}
