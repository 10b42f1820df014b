#include "qt_look.h"

#include <QStringList>

namespace kwp::qt {

QFont WindowFont() {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), "SimSun", "WenQuanYi Zen Hei", "Noto Sans CJK SC", "Noto Sans CJK",
                      "AR PL UMing CN"});
    font.setPixelSize(15);
    return font;
}

QFont SmallFont() {
    QFont font;
    font.setFamilies({"MS Sans Serif", "DejaVu Sans", "Liberation Sans", "WenQuanYi Zen Hei", "Noto Sans CJK SC"});
    font.setPixelSize(11);
    return font;
}

QFont FontOf(platform::FontKind kind) { return kind == platform::FontKind::Small ? SmallFont() : WindowFont(); }

QColor ColorOf(platform::TextColor color) {
    switch (color) {
        case platform::TextColor::Red: return QColor(255, 0, 0);
        case platform::TextColor::Blue: return QColor(0, 0, 255);
        case platform::TextColor::WindowText: break;
    }
    return QColor(0, 0, 0);
}

const char* ColorName(platform::TextColor color) {
    switch (color) {
        case platform::TextColor::Red: return "red";
        case platform::TextColor::Blue: return "blue";
        case platform::TextColor::WindowText: break;
    }
    return "text";
}

QColor ButtonFace() { return QColor(240, 240, 240); }

}  // namespace kwp::qt
