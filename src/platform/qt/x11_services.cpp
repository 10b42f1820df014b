#include "x11_services.h"

#include <QCoreApplication>

namespace kwp::qt {

X11Services::X11Services(XConnection x, HotKeySource::Deliver deliver)
    : x_(x), hotKeys_(x, std::move(deliver)), grab_(x) {
    QCoreApplication::instance()->installNativeEventFilter(&hotKeys_);
}

X11Services::~X11Services() { QCoreApplication::instance()->removeNativeEventFilter(&hotKeys_); }

core::Bitmap X11Services::CopyScreen(const QRect& device) {
    return grab_.Copy(device.x(), device.y(), device.width(), device.height());
}

std::unique_ptr<DisplayServices> MakeX11Services(HotKeySource::Deliver deliver) {
    return std::make_unique<X11Services>(CurrentXConnection(), std::move(deliver));
}

}  // namespace kwp::qt
