#include "qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

namespace kwp::qt {

void SetClipboardImage(const core::Bitmap& bitmap) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (bitmap.Empty()) {
        clipboard->clear();
        return;
    }
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint32_t* in = bitmap.Row(y);
        auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x) out[x] = 0xFF000000u | in[x];
    }
    clipboard->setImage(image);
}

}  // namespace kwp::qt
