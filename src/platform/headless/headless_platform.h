#pragma once
// One program's process on the in-memory desktop. A test starts the whole
// program on it and acts as the user would, from inside the message loop:
//
//   HeadlessSystem desktop;
//   HeadlessPlatform process(desktop);
//   process.Run([&] { process.MainWindow()->ClickButton("保存&Y"); ... });
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless/headless_controls.h"
#include "platform/headless/headless_system.h"
#include "platform/platform.h"

namespace kwp::headless {

class HeadlessOverlay;
class HeadlessTimer;
class HeadlessTray;

struct MessageBoxRecord {
    std::string text;
    std::string caption;
    unsigned flags;
};

class HeadlessPlatform : public platform::Platform {
public:
    explicit HeadlessPlatform(HeadlessSystem& system);
    ~HeadlessPlatform() override;

    // ---- running the program
    // Runs the program's entry routine; `user` is what the user does while
    // its message loop runs. Returns the exit code.
    int Run(std::function<void()> user = nullptr);
    bool LoopRunning() const { return loopRunning_ && !quit_; }
    bool LoopRan() const { return loopRan_; }
    bool QuitRequested() const { return quit_; }

    // ---- what the user sees and does
    HeadlessSystem& System() { return system_; }
    HeadlessWindow* MainWindow() const { return windows_.empty() ? nullptr : windows_.front(); }
    const std::vector<HeadlessWindow*>& Windows() const { return windows_; }
    HeadlessOverlay* Overlay() const { return overlay_; }
    HeadlessTray* Tray() const { return tray_; }
    const void* ForegroundWindow() const { return foreground_; }
    int ForegroundRequests() const { return foregroundRequests_; }

    // Message boxes shown, in order. `onMessageBox` runs while a box shows
    // (before the user dismisses it).
    std::vector<MessageBoxRecord> messageBoxes;
    std::function<void(const MessageBoxRecord&)> onMessageBox;

    // Save dialogs: what each offered, and the user's answers in order (a
    // path to accept, nothing to cancel; cancel when none is left).
    std::vector<platform::SaveDialogOptions> saveDialogsShown;
    std::deque<std::optional<std::string>> saveDialogAnswers;

    // The command this start was given (`kwpshot --capture`); none for a
    // plain start. Set before Run.
    std::optional<platform::Command> startCommand;

    // Lets `ms` milliseconds pass, firing the timers that fall due.
    void AdvanceClock(int64_t ms);
    // The user presses a key combination (system modifier flags, virtual key):
    // it reaches the program that registered it, if any.
    void PressHotKey(uint32_t systemModifiers, uint8_t virtualKey);
    // The hotkeys this process has registered: id -> (modifiers, key).
    std::vector<std::pair<int, std::pair<uint32_t, uint8_t>>> RegisteredHotKeys() const;

    // ---- platform::Platform
    std::unique_ptr<platform::SessionLock> CreateSessionLock(const std::string& name) override;
    void SetApplicationTitle(const std::string& title) override { title_ = title; }
    std::string ApplicationTitle() const override { return title_; }
    void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    void RunMessageLoop() override;
    void BringApplicationToFront() override;
    void OpenWithShell(const std::string& address) override { system_.shellOpened.push_back(address); }
    core::Date Today() const override { return system_.today; }
    void SetCommandHandler(std::function<void(platform::Command)> handler) override;
    bool HandCommandToRunningCopy() override;

    std::unique_ptr<platform::Window> NewWindow(const std::string& caption, int clientWidth,
                                                int clientHeight) override;
    std::unique_ptr<platform::OverlayWindow> NewOverlay(platform::OverlayEvents events) override;
    std::unique_ptr<platform::Timer> NewTimer(int intervalMs, platform::Handler onTimer) override;
    std::unique_ptr<platform::TrayIcon> NewTrayIcon(const std::string& hint, platform::Resource icon,
                                                    std::vector<platform::MenuItem> menu,
                                                    platform::Handler onClick) override;

    uint16_t AddGlobalAtom(const std::string& name) override;
    void DeleteGlobalAtom(uint16_t atom) override;
    bool RegisterSystemHotKey(int id, uint32_t systemModifiers, uint8_t virtualKey) override;
    void UnregisterSystemHotKey(int id) override;
    void SetHotKeyHandler(std::function<void(uint32_t, uint32_t)> handler) override;

    int ScreenWidth() const override { return system_.screen.Width(); }
    int ScreenHeight() const override { return system_.screen.Height(); }
    core::Bitmap CopyScreen(int width, int height) override;
    void SetClipboardBitmap(const core::Bitmap& bitmap) override;
    std::optional<std::string> RunSaveDialog(const platform::SaveDialogOptions& options) override;
    core::Bytes ReadFileBytes(const std::string& path) override;
    void ReplaceFileBytes(const std::string& path, const core::Bytes& bytes) override;
    std::string ProfileRead(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& fallback) override;
    bool ProfileWrite(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& value) override;

    // ---- for the in-memory windows and components
    void Forget(const void* object);
    void SetForeground(const void* window) { foreground_ = window; }
    void Quit() { quit_ = true; }
    void Unregister(HeadlessTimer* timer);

private:
    HeadlessSystem& system_;
    std::string title_;
    std::function<void()> user_;
    bool loopRunning_ = false;
    bool loopRan_ = false;
    bool quit_ = false;
    std::vector<HeadlessWindow*> windows_;
    HeadlessOverlay* overlay_ = nullptr;
    HeadlessTray* tray_ = nullptr;
    std::vector<HeadlessTimer*> timers_;
    const void* foreground_ = nullptr;
    int foregroundRequests_ = 0;
    std::function<void(uint32_t, uint32_t)> hotKeyHandler_;
    std::function<void(platform::Command)> commandHandler_;
    std::string guardName_;
};

// The capture overlay as the user sees it.
class HeadlessOverlay : public platform::OverlayWindow {
public:
    HeadlessOverlay(HeadlessPlatform& platform, platform::OverlayEvents events);
    ~HeadlessOverlay() override;

    void SetPicture(const core::Bitmap* picture) override { picture_ = picture; }
    void Invalidate(const core::Rect& area) override;
    void ShowMaximized() override;
    void Hide() override { visible_ = false; }
    bool Visible() const override { return visible_; }

    const core::Bitmap* Picture() const { return picture_; }
    bool Maximized() const { return maximized_; }
    // The area repainted since the last call, and forget it.
    core::Rect TakeRepainted();
    int RepaintRequests() const { return repaintRequests_; }

    // What a user does on it; ignored while it is hidden.
    bool MoveMouse(int x, int y);
    bool Press(platform::MouseButton button, int x, int y);
    bool CloseByWindowSystem();

private:
    HeadlessPlatform& platform_;
    platform::OverlayEvents events_;
    const core::Bitmap* picture_ = nullptr;
    bool visible_ = false;
    bool maximized_ = false;
    core::Rect repainted_;
    int repaintRequests_ = 0;
};

class HeadlessTimer : public platform::Timer {
public:
    HeadlessTimer(HeadlessPlatform& platform, int intervalMs, platform::Handler onTimer);
    ~HeadlessTimer() override;
    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return enabled_; }

    int64_t due = 0;
    int interval;
    platform::Handler onTimer;

private:
    HeadlessPlatform& platform_;
    bool enabled_ = false;
};

class HeadlessTray : public platform::TrayIcon {
public:
    HeadlessTray(HeadlessPlatform& platform, std::string hint, platform::Resource icon,
                 std::vector<platform::MenuItem> menu, platform::Handler onClick);
    ~HeadlessTray() override;

    const std::string& Hint() const { return hint_; }
    std::vector<std::string> MenuCaptions() const;
    // A left click on the icon (press and release).
    bool LeftClick();
    // A right click, then the menu item with this caption.
    bool ChooseFromMenu(const std::string& caption);

private:
    HeadlessPlatform& platform_;
    std::string hint_;
    platform::Resource icon_;
    std::vector<platform::MenuItem> menu_;
    platform::Handler onClick_;
};

}  // namespace kwp::headless
