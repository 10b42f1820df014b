#include "portal_screen.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

#include "core/error.h"
#include "portal_request.h"
#include "wl_shared_bitmap.h"

namespace kwp::qt {

namespace {

constexpr char kScreenshotInterface[] = "org.freedesktop.portal.Screenshot";

QDBusMessage ScreenshotCall(const QString& token) {
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kScreenshotInterface, "Screenshot");
    const QVariantMap options{{"handle_token", token}, {"interactive", false}, {"modal", false}};
    call << QString() << options;
    return call;
}

QRect DesktopGeometry() {
    QRect desktop;
    for (QScreen* screen : QGuiApplication::screens()) desktop |= screen->geometry();
    return desktop;
}

std::string Seconds(std::chrono::milliseconds wait) { return std::to_string(wait.count() / 1000); }

}  // namespace

core::Bitmap PortalScreen::CopyScreen(const QSize& device) {
    if (waiting_) throw core::Error("A screen copy is already under way");
    QScopedValueRollback busy(waiting_, true);

    const QString token = NextPortalToken();
    const PortalReply reply = AskPortal(QDBusConnection::sessionBus(), ScreenshotCall(token), token, kPortalScreenWait);
    const std::optional<PortalRequest::Answer>& answer = reply.answer;
    const QVariantMap& results = reply.results;
    if (!answer)
        throw core::Error("The desktop's screenshot service did not answer within " + Seconds(kPortalScreenWait) +
                          " seconds");
    if (*answer == PortalRequest::Answer::Cancelled) throw core::Error("The desktop refused the screenshot");
    if (*answer == PortalRequest::Answer::Failed) {
        const QString error = results.value("error").toString();
        throw core::Error("The desktop's screenshot service failed" +
                          (error.isEmpty() ? std::string() : ": " + error.toStdString()));
    }

    const QUrl uri(results.value("uri").toString());
    if (!uri.isLocalFile()) throw core::Error("The desktop's screenshot service gave no picture file");
    const QString path = uri.toLocalFile();
    QImage picture(path);
    // Read or not, a scratch copy of the screen is not left lying around.
    if (IsScratchFile(path, ScratchFolders())) QFile::remove(path);
    if (picture.isNull())
        throw core::Error("Cannot read the screenshot \"" + path.toStdString() + "\"");

    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) throw core::Error("Canvas does not allow drawing");
    const core::Bitmap bitmap = PrimaryBitmap(std::move(picture), DesktopGeometry(), primary->geometry(), device);
    // Into memory the compositor can map, so the overlay shows it from there.
    core::Bitmap shared = NewSharedBitmap(bitmap.Width(), bitmap.Height(), bitmap.BitsPerPixel());
    if (!SharedPixelsOf(shared)) return bitmap;
    std::memcpy(shared.Data(), bitmap.Data(), size_t(bitmap.Width()) * size_t(bitmap.Height()) * 4);
    return shared;
}

QRect PrimaryInPicture(const QSize& picture, const QRect& desktop, const QRect& primary) {
    if (desktop.isEmpty() || picture.isEmpty()) return {};
    const double sx = double(picture.width()) / desktop.width();
    const double sy = double(picture.height()) / desktop.height();
    const QPoint topLeft(qRound((primary.x() - desktop.x()) * sx), qRound((primary.y() - desktop.y()) * sy));
    const QSize size(qRound(primary.width() * sx), qRound(primary.height() * sy));
    return QRect(topLeft, size).intersected(QRect(QPoint(0, 0), picture));
}

core::Bitmap PrimaryBitmap(QImage picture, const QRect& desktop, const QRect& primary, const QSize& device) {
    const QRect part = PrimaryInPicture(picture.size(), desktop, primary);
    auto image = std::make_shared<QImage>();
    if (part.size() == device) {
        *image = part == picture.rect() ? std::move(picture) : picture.copy(part);
        *image = std::move(*image).convertToFormat(QImage::Format_RGB32);
    } else {
        // The picture is at another scale than the display (or smaller):
        // the display's size, filled as far as the picture reaches.
        *image = QImage(device, QImage::Format_RGB32);
        image->fill(Qt::black);
        if (!part.isEmpty()) {
            QPainter painter(image.get());
            const double sx = double(part.width()) / primary.width(), sy = double(part.height()) / primary.height();
            const QSize target(qRound(part.width() * device.width() / (sx * primary.width())),
                               qRound(part.height() * device.height() / (sy * primary.height())));
            painter.drawImage(QRect(QPoint(0, 0), target), picture, part);
        }
    }
    if (image->isNull() || image->bytesPerLine() != qsizetype(image->width()) * 4)
        throw core::Error("Cannot read the screenshot");
    // The bitmap lives in the image's own memory: no further copy.
    auto* pixels = reinterpret_cast<uint32_t*>(image->bits());
    return core::Bitmap::Over(device.width(), device.height(), 24, pixels, image);
}

QStringList ScratchFolders() {
    QStringList folders{QDir::tempPath(), QStringLiteral("/tmp"), QStringLiteral("/var/tmp"),
                        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)};
    folders.removeAll(QString());
    return folders;
}

bool IsScratchFile(const QString& path, const QStringList& folders) {
    if (!QDir::isAbsolutePath(path)) return false;
    const QString clean = QDir::cleanPath(path);
    for (const QString& folder : folders) {
        if (folder.isEmpty() || !QDir::isAbsolutePath(folder)) continue;
        QString prefix = QDir::cleanPath(folder);
        if (!prefix.endsWith(u'/')) prefix += u'/';
        if (clean.startsWith(prefix) && clean.size() > prefix.size()) return true;
    }
    return false;
}

}  // namespace kwp::qt
