#pragma once
// The notification-area icon with its tooltip and two-item menu. A left
// click raises onClick when the button is released; a right click opens the
// menu with its right edge at the pointer. Qt docks the icon again when a tray
// appears or restarts.
#include <QMenu>
#include <QObject>
#include <functional>
#include <QSystemTrayIcon>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace kwp::qt {

class QtTrayIcon : public platform::TrayIcon {
public:
    QtTrayIcon(platform::Platform& platform, const std::string& hint, platform::Resource icon,
               std::vector<platform::MenuItem> menu, platform::Handler onClick);
    ~QtTrayIcon() override;

    QMenu* Menu() const { return menu_.get(); }

private:
    // Qt's X11 tray reports a left click on the press; the click counts when
    // the button comes up again, as on the tray the program was made for.
    class ReleaseWatcher : public QObject {
    public:
        explicit ReleaseWatcher(std::function<void()> onRelease) : onRelease_(std::move(onRelease)) {}
        void Arm() { armed_ = true; }

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override;

    private:
        std::function<void()> onRelease_;
        bool armed_ = false;
    };

    void OpenMenu();
    void LeftPressed();

    platform::Platform& platform_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    platform::Handler onClick_;
    std::unique_ptr<ReleaseWatcher> release_;
};

}  // namespace kwp::qt
