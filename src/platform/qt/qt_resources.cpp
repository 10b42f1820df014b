#include "qt_resources.h"

#include <QFile>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitKwpshotResources() { Q_INIT_RESOURCE(kwpshot); }

namespace kwp::qt {

void InitResources() { InitKwpshotResources(); }

QPixmap ResourcePixmap(platform::Resource resource) {
    switch (resource) {
        case platform::Resource::Banner: return QPixmap(":/kwpshot/banner.jpg");
        case platform::Resource::GlyphSave: return QPixmap(":/kwpshot/glyph_save.bmp");
        case platform::Resource::GlyphExit: return QPixmap(":/kwpshot/glyph_exit.bmp");
        case platform::Resource::GlyphCapture: return QPixmap(":/kwpshot/glyph_capture.bmp");
        case platform::Resource::TrayIcon: return QPixmap(":/kwpshot/icon-32.png");
        case platform::Resource::None: break;
    }
    return {};
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) icon.addFile(QString(":/kwpshot/icon-%1.png").arg(size), QSize(size, size));
    return icon;
}

QString SkinStyleSheet() {
    QFile file(":/kwpshot/skin.qss");
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

}  // namespace kwp::qt
