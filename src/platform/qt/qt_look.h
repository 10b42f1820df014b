#pragma once
// Fonts and colours of the main window.
#include <QColor>
#include <QFont>

#include "platform/platform.h"

namespace kwp::qt {

// "宋体" 15 px, falling back to a Chinese font the system has.
QFont WindowFont();
// "MS Sans Serif" 11 px, or the system's nearest sans font (Chinese text in it
// falls back per glyph).
QFont SmallFont();
QFont FontOf(platform::FontKind kind);
QColor ColorOf(platform::TextColor color);
// The name the skin's style sheet uses for a text colour ("red", "blue").
const char* ColorName(platform::TextColor color);
QColor ButtonFace();

}  // namespace kwp::qt
