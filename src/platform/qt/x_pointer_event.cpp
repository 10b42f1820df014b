#include "x_pointer_event.h"

#include <xcb/xinput.h>

#include <QGuiApplication>

namespace kwp::qt {

namespace {

uint8_t XInputOpcode() {
    static const uint8_t opcode = [] {
        auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11) return uint8_t{0};
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(x11->connection(), &xcb_input_id);
        return ext && ext->present ? ext->major_opcode : uint8_t{0};
    }();
    return opcode;
}

int FromFixed1616(xcb_input_fp1616_t value) { return int(value >> 16); }

}  // namespace

std::optional<QPoint> PointerPosition(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7F) {
        case XCB_MOTION_NOTIFY: {
            auto* motion = reinterpret_cast<const xcb_motion_notify_event_t*>(event);
            return QPoint(motion->event_x, motion->event_y);
        }
        case XCB_BUTTON_PRESS: {
            auto* press = reinterpret_cast<const xcb_button_press_event_t*>(event);
            return QPoint(press->event_x, press->event_y);
        }
        case XCB_GE_GENERIC: {
            auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
            if (generic->extension != XInputOpcode() || XInputOpcode() == 0) return std::nullopt;
            if (generic->event_type != XCB_INPUT_MOTION && generic->event_type != XCB_INPUT_BUTTON_PRESS)
                return std::nullopt;
            auto* pointer = reinterpret_cast<const xcb_input_button_press_event_t*>(event);
            return QPoint(FromFixed1616(pointer->event_x), FromFixed1616(pointer->event_y));
        }
        default:
            return std::nullopt;
    }
}

}  // namespace kwp::qt
