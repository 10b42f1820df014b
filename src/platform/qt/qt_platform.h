#pragma once
// The Linux desktop platform: Qt 6 Widgets for windows, dialogs, tray and
// clipboard (on X11 or Wayland alike); the screen copy and the system-wide
// hotkeys from the display services chosen at start (xcb on X11, desktop
// portals on Wayland); files, settings and the single-instance guard on POSIX.
#include <QApplication>
#include <memory>
#include <vector>

#include "atom_table.h"
#include "command_socket.h"
#include "display_services.h"
#include "platform/platform.h"
#include "profile_store.h"

namespace kwp::qt {

class QtPlatform : public platform::Platform {
public:
    // `startCommand`: what this start was asked for (kwpshot --capture).
    explicit QtPlatform(QApplication& app, std::optional<platform::Command> startCommand = {});
    ~QtPlatform() override;
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    std::unique_ptr<platform::SessionLock> CreateSessionLock(const std::string& name) override;
    void SetApplicationTitle(const std::string& title) override;
    std::string ApplicationTitle() const override { return title_; }
    void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    void RunMessageLoop() override;
    void BringApplicationToFront() override;
    void OpenWithShell(const std::string& address) override;
    core::Date Today() const override;
    void SetCommandHandler(std::function<void(platform::Command)> handler) override {
        commands_.SetHandler(std::move(handler));
    }
    bool HandCommandToRunningCopy() override { return commands_.HandOver(); }

    std::unique_ptr<platform::Window> NewWindow(const std::string& caption, int clientWidth,
                                                int clientHeight) override;
    std::unique_ptr<platform::OverlayWindow> NewOverlay(platform::OverlayEvents events) override;
    std::unique_ptr<platform::Timer> NewTimer(int intervalMs, platform::Handler onTimer) override;
    std::unique_ptr<platform::TrayIcon> NewTrayIcon(const std::string& hint, platform::Resource icon,
                                                    std::vector<platform::MenuItem> menu,
                                                    platform::Handler onClick) override;

    uint16_t AddGlobalAtom(const std::string& name) override { return atoms_.Add(name); }
    void DeleteGlobalAtom(uint16_t atom) override { atoms_.Delete(atom); }
    bool RegisterSystemHotKey(int id, uint32_t systemModifiers, uint8_t virtualKey) override;
    void UnregisterSystemHotKey(int id) override;
    void SetHotKeyHandler(std::function<void(uint32_t wParam, uint32_t lParam)> handler) override;

    int ScreenWidth() const override;
    int ScreenHeight() const override;
    core::Bitmap CopyScreen(int width, int height) override;

    void SetClipboardBitmap(const core::Bitmap& bitmap) override;
    std::optional<std::string> RunSaveDialog(const platform::SaveDialogOptions& options) override;

    core::Bytes ReadFileBytes(const std::string& path) override;
    void ReplaceFileBytes(const std::string& path, const core::Bytes& bytes) override;

    std::string ProfileRead(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& fallback) override;
    bool ProfileWrite(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& value) override;

private:
    void ActivateSkin();

    QApplication& app_;
    std::string title_;
    AtomTable atoms_;
    ProfileStore profiles_;
    std::function<void(uint32_t, uint32_t)> hotKeyHandler_;
    std::unique_ptr<DisplayServices> services_;
    bool haveMainWindow_ = false;
    std::vector<QWidget*> topLevels_;  // the program's windows, for BringApplicationToFront
    CommandChannel commands_;
};

}  // namespace kwp::qt
