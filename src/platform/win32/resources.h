#pragma once
// The pictures held with the windows, from the program's resources.
#include "core/bitmap.h"
#include "platform/platform.h"
#include "platform/win32/handles.h"

namespace kwp::platform::win32 {

// The program icon at a size in pixels (null when missing).
IconHandle LoadProgramIcon(int size);

// A button glyph as a DIB section (null for Resource::None or when missing).
BitmapHandle LoadGlyph(Resource glyph);

// A picture kept as JPEG data (the banner), decoded; empty when missing or
// not decodable.
core::Bitmap LoadJpegPicture(Resource picture);

}  // namespace kwp::platform::win32
