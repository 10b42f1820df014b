#pragma once
// The pixel format of an X server's images at a depth and visual: the
// pixmap format's bits per pixel and row padding, the server's byte order and
// the visual's colour masks, or its colour map.
#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "core/pixel_format.h"

namespace kwp::qt {

// The format of `depth` pixels shown through `visual`; none when the server's
// pixels at that depth cannot be converted or the visual is unknown.
// DirectColor is read as if its maps were the usual ramps.
std::optional<core::PixelFormat> XPixelFormat(xcb_connection_t* connection, uint8_t depth, xcb_visualid_t visual);
// The root window's format on the connection's screen.
std::optional<core::PixelFormat> XScreenPixelFormat(xcb_connection_t* connection, const xcb_screen_t* screen);

// The colours of `colourMap`'s first 2^depth entries (depth at most 8).
std::vector<uint32_t> ReadColourMap(xcb_connection_t* connection, xcb_colormap_t colourMap, uint8_t depth);

}  // namespace kwp::qt
