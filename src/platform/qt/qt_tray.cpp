#include "qt_tray.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QGuiApplication>
#include <QScreen>

#include "qt_dispatch.h"
#include "qt_resources.h"

namespace kwp::qt {

namespace {
// The tooltip keeps at most 127 bytes of the hint (whole UTF-8 characters).
QString Tooltip(const std::string& hint) {
    size_t length = std::min<size_t>(hint.size(), 127);
    while (length > 0 && length < hint.size() && (static_cast<unsigned char>(hint[length]) & 0xC0) == 0x80) --length;
    return QString::fromStdString(hint.substr(0, length));
}
}  // namespace

QtTrayIcon::QtTrayIcon(platform::Platform& platform, const std::string& hint, platform::Resource,
                       std::vector<platform::MenuItem> menu, platform::Handler onClick)
    : platform_(platform), menu_(std::make_unique<QMenu>()), icon_(std::make_unique<QSystemTrayIcon>()),
      onClick_(std::move(onClick)) {
    for (platform::MenuItem& item : menu) {
        QAction* action = menu_->addAction(QString::fromStdString(item.caption));
        QObject::connect(action, &QAction::triggered, menu_.get(),
                         [&platform, handler = std::move(item.onClick)] { RunHandler(platform, handler); });
    }
    // On Wayland the tray is a status notifier over D-Bus: the menu is handed
    // to the tray host, which shows it next to the icon (a window of our own
    // cannot be placed there). A host that only asks us still gets OpenMenu.
    if (QGuiApplication::platformName() == QLatin1String("wayland")) icon_->setContextMenu(menu_.get());
    icon_->setIcon(ApplicationIcon());
    icon_->setToolTip(Tooltip(hint));
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger)
                             LeftPressed();
                         else if (reason == QSystemTrayIcon::Context)
                             OpenMenu();
                     });
    release_ = std::make_unique<ReleaseWatcher>([this] { RunHandler(platform_, onClick_); });
    QCoreApplication::instance()->installEventFilter(release_.get());
    icon_->show();
}

QtTrayIcon::~QtTrayIcon() {
    QCoreApplication::instance()->removeEventFilter(release_.get());
    icon_->hide();
}

void QtTrayIcon::LeftPressed() {
    // A tray that reports clicks without a pointer press of ours (a status
    // notifier over D-Bus) has nothing to wait for. On Wayland the tray is
    // always such a one, and Qt's button state may still hold a press whose
    // release went to no window of ours (the overlay hides on its second
    // press), so it is not asked there.
    const bool pressHere = !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (pressHere && (QGuiApplication::mouseButtons() & Qt::LeftButton))
        release_->Arm();
    else
        RunHandler(platform_, onClick_);
}

bool QtTrayIcon::ReleaseWatcher::eventFilter(QObject*, QEvent* event) {
    if (armed_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        armed_ = false;
        onRelease_();
    }
    return false;
}

void QtTrayIcon::OpenMenu() {
    // Right edge at the pointer, as the tray menu opens on the desktop it
    // was designed for.
    const QPoint pointer = QCursor::pos();
    const QSize size = menu_->sizeHint();
    QPoint at(pointer.x() - size.width(), pointer.y());
    if (QScreen* screen = QGuiApplication::screenAt(pointer)) {
        const QRect area = screen->geometry();
        if (at.x() < area.left()) at.setX(area.left());
        if (at.y() + size.height() > area.bottom()) at.setY(pointer.y() - size.height());
    }
    menu_->popup(at);
    menu_->activateWindow();
}

}  // namespace kwp::qt
