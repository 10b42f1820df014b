#pragma once
// The platform on the Win32 API: the application's hidden top-level window
// (owner of message boxes, dialogs and the clipboard; the window brought to
// the front for the hotkey), the hotkey window, and every operation of the
// interface.
#include <string>

#include "platform/platform.h"
#include "platform/win32/hotkey_window.h"
#include "platform/win32/message_target.h"

namespace kwp::platform::win32 {

class MainWindow;

class Win32Platform : public Platform, private MessageTarget {
public:
    Win32Platform();
    ~Win32Platform() override;

    std::unique_ptr<SessionLock> CreateSessionLock(const std::string& name) override;
    void SetApplicationTitle(const std::string& title) override;
    std::string ApplicationTitle() const override { return title_; }
    void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    void RunMessageLoop() override;
    void BringApplicationToFront() override;
    void OpenWithShell(const std::string& address) override;
    core::Date Today() const override;
    // The Windows program takes no command line: no start carries a command,
    // so none ever arrives.
    void SetCommandHandler(std::function<void(Command)>) override {}
    bool HandCommandToRunningCopy() override { return false; }

    std::unique_ptr<Window> NewWindow(const std::string& caption, int clientWidth, int clientHeight) override;
    std::unique_ptr<OverlayWindow> NewOverlay(OverlayEvents events) override;
    std::unique_ptr<Timer> NewTimer(int intervalMs, Handler onTimer) override;
    std::unique_ptr<TrayIcon> NewTrayIcon(const std::string& hint, Resource icon, std::vector<MenuItem> menu,
                                          Handler onClick) override;

    uint16_t AddGlobalAtom(const std::string& name) override;
    void DeleteGlobalAtom(uint16_t atom) override;
    bool RegisterSystemHotKey(int id, uint32_t systemModifiers, uint8_t virtualKey) override;
    void UnregisterSystemHotKey(int id) override;
    void SetHotKeyHandler(std::function<void(uint32_t wParam, uint32_t lParam)> handler) override;

    int ScreenWidth() const override;
    int ScreenHeight() const override;
    core::Bitmap CopyScreen(int width, int height) override;
    void SetClipboardBitmap(const core::Bitmap& bitmap) override;
    std::optional<std::string> RunSaveDialog(const SaveDialogOptions& options) override;

    core::Bytes ReadFileBytes(const std::string& path) override;
    void ReplaceFileBytes(const std::string& path, const core::Bytes& bytes) override;
    std::string ProfileRead(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& fallback) override;
    bool ProfileWrite(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& value) override;

private:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    // Runs a modal box or dialog owned by the application window, with the
    // main window disabled meanwhile so that it is modal to the program.
    template <typename Run>
    auto Modal(Run run);

    std::string title_;
    WindowHandle application_;
    HotKeyWindow hotKeys_;
    MainWindow* mainWindow_ = nullptr;  // the first window, while it lives
};

}  // namespace kwp::platform::win32
