#include "qt_platform.h"

#include <QDate>
#include <QDesktopServices>
#include <QScreen>
#include <QUrl>
#include <cstdlib>

#include "core/error.h"
#include "core/file_io.h"
#include "qt_clipboard.h"
#include "qt_dialogs.h"
#include "qt_dispatch.h"
#include "qt_overlay.h"
#include "qt_resources.h"
#include "qt_timer.h"
#include "qt_tray.h"
#include "qt_window.h"
#include "session_lock.h"
#include "wayland_services.h"

namespace kwp::qt {

namespace {

QScreen* PrimaryScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) throw core::Error("Canvas does not allow drawing");
    return screen;
}

// The primary display in device pixels: Qt's logical geometry times its
// scale factor.
QRect DeviceGeometry(QScreen* screen) {
    const qreal dpr = screen->devicePixelRatio();
    const QRect g = screen->geometry();
    return QRect(qRound(g.x() * dpr), qRound(g.y() * dpr), qRound(g.width() * dpr), qRound(g.height() * dpr));
}

}  // namespace

QtPlatform::QtPlatform(QApplication& app, std::optional<platform::Command> startCommand)
    : app_(app), commands_(*this, startCommand) {
    InitResources();
    // Hidden in the tray is a normal state: a closed message box or dialog
    // must not end the program. Only the main window's close does.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName("kwpshot");
    QApplication::setWindowIcon(ApplicationIcon());
    services_ = ChooseDisplayServices([this](uint32_t wParam, uint32_t lParam) {
        if (hotKeyHandler_) RunHandler(*this, [&] { hotKeyHandler_(wParam, lParam); });
    });
}

QtPlatform::~QtPlatform() = default;

// A Wayland session is keyed on its Wayland display whichever services serve
// it (X11 ones when no session bus is reachable), so every copy in it meets
// the same guard.
std::unique_ptr<platform::SessionLock> QtPlatform::CreateSessionLock(const std::string& name) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const std::string key = wayland && *wayland ? WaylandGuardKey(wayland) : services_->GuardKey();
    return commands_.Guard(std::make_unique<FlockSessionLock>(name, key));
}

// The title captions the default error report. Qt's application name stays
// "kwpshot": it is the window class the desktop matches the .desktop file by.
void QtPlatform::SetApplicationTitle(const std::string& title) { title_ = title; }

void QtPlatform::ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    qt::ShowMessageBox(text, caption, flags);
}

void QtPlatform::RunMessageLoop() { app_.exec(); }

// On X there is no hidden owner window to make foreground; what the user
// expects is that the program's visible window (the overlay during a capture)
// comes to the front.
void QtPlatform::BringApplicationToFront() {
    for (auto it = topLevels_.rbegin(); it != topLevels_.rend(); ++it) {
        if ((*it)->isVisible()) {
            (*it)->raise();
            (*it)->activateWindow();
            return;
        }
    }
}

void QtPlatform::OpenWithShell(const std::string& address) {
    // Qt starts the desktop's URL handler detached: nothing waits for it.
    QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(address)));
}

core::Date QtPlatform::Today() const {
    const QDate today = QDate::currentDate();
    return {today.year(), today.month(), today.day()};
}

std::unique_ptr<platform::Window> QtPlatform::NewWindow(const std::string& caption, int clientWidth,
                                                        int clientHeight) {
    const bool isMain = !haveMainWindow_;
    haveMainWindow_ = true;
    auto window = std::make_unique<QtWindow>(*this, caption, clientWidth, clientHeight, isMain,
                                             [this] { ActivateSkin(); });
    topLevels_.push_back(window->Widget());
    return window;
}

std::unique_ptr<platform::OverlayWindow> QtPlatform::NewOverlay(platform::OverlayEvents events) {
    auto overlay = std::make_unique<QtOverlay>(*this, std::move(events), services_->SharedGrab());
    topLevels_.push_back(overlay->Widget());
    return overlay;
}

std::unique_ptr<platform::Timer> QtPlatform::NewTimer(int intervalMs, platform::Handler onTimer) {
    return std::make_unique<QtTimer>(*this, intervalMs, std::move(onTimer));
}

std::unique_ptr<platform::TrayIcon> QtPlatform::NewTrayIcon(const std::string& hint, platform::Resource icon,
                                                            std::vector<platform::MenuItem> menu,
                                                            platform::Handler onClick) {
    return std::make_unique<QtTrayIcon>(*this, hint, icon, std::move(menu), std::move(onClick));
}

void QtPlatform::ActivateSkin() {
    // The skin names the main window and menus in its selectors, so it can
    // be set once for the application.
    app_.setStyleSheet(SkinStyleSheet());
}

bool QtPlatform::RegisterSystemHotKey(int id, uint32_t systemModifiers, uint8_t virtualKey) {
    return services_->HotKeys().Register(id, systemModifiers, virtualKey);
}

void QtPlatform::UnregisterSystemHotKey(int id) { services_->HotKeys().Unregister(id); }

void QtPlatform::SetHotKeyHandler(std::function<void(uint32_t wParam, uint32_t lParam)> handler) {
    hotKeyHandler_ = std::move(handler);
}

int QtPlatform::ScreenWidth() const { return DeviceGeometry(PrimaryScreen()).width(); }
int QtPlatform::ScreenHeight() const { return DeviceGeometry(PrimaryScreen()).height(); }

core::Bitmap QtPlatform::CopyScreen(int width, int height) {
    const QRect primary = DeviceGeometry(PrimaryScreen());
    return services_->CopyScreen(QRect(primary.x(), primary.y(), width, height));
}

void QtPlatform::SetClipboardBitmap(const core::Bitmap& bitmap) { SetClipboardImage(bitmap); }

std::optional<std::string> QtPlatform::RunSaveDialog(const platform::SaveDialogOptions& options) {
    return qt::RunSaveDialog(options);
}

core::Bytes QtPlatform::ReadFileBytes(const std::string& path) { return core::ReadWholeFile(path); }

void QtPlatform::ReplaceFileBytes(const std::string& path, const core::Bytes& bytes) {
    core::ReplaceWholeFile(path, bytes);
}

std::string QtPlatform::ProfileRead(const std::string& file, const std::string& section, const std::string& key,
                                    const std::string& fallback) {
    return profiles_.Read(file, section, key, fallback);
}

bool QtPlatform::ProfileWrite(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& value) {
    return profiles_.Write(file, section, key, value);
}

}  // namespace kwp::qt
