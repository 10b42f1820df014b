#pragma once
// The pointer position an X event carries, in device pixels of its window:
// core MotionNotify and ButtonPress, and their XInput 2 forms.
#include <xcb/xcb.h>

#include <QPoint>
#include <optional>

namespace kwp::qt {

std::optional<QPoint> PointerPosition(const xcb_generic_event_t* event);

}  // namespace kwp::qt
