#pragma once
// The notification-area icon with its tooltip and two-item menu. A left
// click raises onClick; a right click opens the menu with its right edge at
// the pointer. Qt docks the icon again when a tray appears or restarts.
#include <QMenu>
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
    void OpenMenu();

    platform::Platform& platform_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    platform::Handler onClick_;
};

}  // namespace kwp::qt
