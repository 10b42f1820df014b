#include "platform/win32/win32_platform.h"

#include <shellapi.h>

#include <initializer_list>
#include <vector>

#include "core/bytes_sink.h"
#include "core/error.h"
#include "platform/win32/clipboard.h"
#include "platform/win32/files.h"
#include "platform/win32/main_window.h"
#include "platform/win32/overlay_window.h"
#include "platform/win32/profile.h"
#include "platform/win32/save_dialog.h"
#include "platform/win32/screen.h"
#include "platform/win32/session_lock.h"
#include "platform/win32/text.h"
#include "platform/win32/timer.h"
#include "platform/win32/tray_icon.h"

namespace kwp::platform::win32 {
namespace {

// Disables the given windows that are visible and enabled, but `except`, and
// enables them again when it goes; then the window that was active is active
// again.
class DisabledWindows {
public:
    DisabledWindows(std::initializer_list<HWND> windows, HWND except) : active_(GetActiveWindow()) {
        for (HWND window : windows) {
            if (window && window != except && IsWindowVisible(window) && IsWindowEnabled(window)) {
                EnableWindow(window, FALSE);
                disabled_.push_back(window);
            }
        }
    }
    ~DisabledWindows() {
        for (HWND window : disabled_) EnableWindow(window, TRUE);
        if (active_ && IsWindowVisible(active_) && IsWindowEnabled(active_)) SetActiveWindow(active_);
    }
    DisabledWindows(const DisabledWindows&) = delete;
    DisabledWindows& operator=(const DisabledWindows&) = delete;

private:
    HWND active_;
    std::vector<HWND> disabled_;
};

}  // namespace

Win32Platform::Win32Platform() : hotKeys_(*this) {
    // The taskbar entry's minimize hides the main window; its close closes it.
    application_.SetHandlers(
        [this] {
            if (mainWindow_) mainWindow_->Hide();
        },
        [this] {
            if (mainWindow_) mainWindow_->Close();
        });
}

Win32Platform::~Win32Platform() = default;

template <typename Run>
auto Win32Platform::Modal(Run run) {
    HWND overlay = overlay_ && overlay_->Visible() ? overlay_->Handle() : nullptr;
    HWND owner = overlay ? overlay : application_.Handle();
    // A press on the overlay holds the mouse; the box needs it.
    ReleaseCapture();
    // The box or dialog disables its owner itself (and enables it before it
    // goes, so that the owner is active again); the others are ours to do.
    DisabledWindows others({mainWindow_ ? mainWindow_->Handle() : nullptr, overlay, application_.Handle()}, owner);
    return run(owner);
}

std::unique_ptr<SessionLock> Win32Platform::CreateSessionLock(const std::string& name) {
    return std::make_unique<NamedMutexLock>(name);
}

void Win32Platform::SetApplicationTitle(const std::string& title) {
    title_ = title;
    application_.SetTitle(title);
}

void Win32Platform::ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    const std::wstring wideText = Wide(text), wideCaption = Wide(caption);
    Modal([&](HWND owner) { return MessageBoxW(owner, wideText.c_str(), wideCaption.c_str(), flags); });
}

void Win32Platform::RunMessageLoop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (mainWindow_ && mainWindow_->PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32Platform::BringApplicationToFront() { SetForegroundWindow(application_.Handle()); }

void Win32Platform::OpenWithShell(const std::string& address) {
    HWND owner = mainWindow_ ? mainWindow_->Handle() : application_.Handle();
    ShellExecuteW(owner, nullptr, Wide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

core::Date Win32Platform::Today() const {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay};
}

std::unique_ptr<Window> Win32Platform::NewWindow(const std::string& caption, int clientWidth, int clientHeight) {
    const bool isMain = mainWindow_ == nullptr;
    auto window = std::make_unique<MainWindow>(*this, application_, caption, clientWidth, clientHeight, isMain,
                                               [this, isMain] {
                                                   if (isMain) mainWindow_ = nullptr;
                                               });
    if (isMain) mainWindow_ = window.get();
    return window;
}

std::unique_ptr<OverlayWindow> Win32Platform::NewOverlay(OverlayEvents events) {
    auto overlay = std::make_unique<Overlay>(*this, std::move(events), [this] { overlay_ = nullptr; });
    overlay_ = overlay.get();
    return overlay;
}

std::unique_ptr<Timer> Win32Platform::NewTimer(int intervalMs, Handler onTimer) {
    return std::make_unique<MessageTimer>(*this, intervalMs, std::move(onTimer));
}

std::unique_ptr<TrayIcon> Win32Platform::NewTrayIcon(const std::string& hint, Resource, std::vector<MenuItem> menu,
                                                     Handler onClick) {
    return std::make_unique<NotifyIcon>(*this, hint, std::move(menu), std::move(onClick));
}

uint16_t Win32Platform::AddGlobalAtom(const std::string& name) { return GlobalAddAtomA(name.c_str()); }

void Win32Platform::DeleteGlobalAtom(uint16_t atom) { GlobalDeleteAtom(atom); }

bool Win32Platform::RegisterSystemHotKey(int id, uint32_t systemModifiers, uint8_t virtualKey) {
    return hotKeys_.Register(id, systemModifiers, virtualKey);
}

void Win32Platform::UnregisterSystemHotKey(int id) { hotKeys_.Unregister(id); }

void Win32Platform::SetHotKeyHandler(std::function<void(uint32_t wParam, uint32_t lParam)> handler) {
    hotKeys_.SetHandler(std::move(handler));
}

int Win32Platform::ScreenWidth() const { return GetSystemMetrics(SM_CXSCREEN); }
int Win32Platform::ScreenHeight() const { return GetSystemMetrics(SM_CYSCREEN); }

core::Bitmap Win32Platform::CopyScreen(int width, int height) { return CopyScreenArea(width, height); }

void Win32Platform::SetClipboardBitmap(const core::Bitmap& bitmap) {
    PutBitmapOnClipboard(application_.Handle(), bitmap);
}

std::optional<std::string> Win32Platform::RunSaveDialog(const SaveDialogOptions& options) {
    return Modal([&](HWND owner) { return RunSaveFileDialog(owner, options); });
}

// Whole files in memory here: the file is read or written in one piece by
// the routines that keep the system's sharing and error rules.
std::unique_ptr<core::FileSource> Win32Platform::OpenFileSource(const std::string& path) {
    return std::make_unique<core::BytesSource>(ReadWholeFileW(path));
}

void Win32Platform::ReplaceFileContents(const std::string& path, core::Durability,
                                        const std::function<void(core::FileSink&)>& fill) {
    core::Bytes bytes;
    core::BytesSink sink(bytes);
    fill(sink);
    ReplaceWholeFileW(path, bytes);
}

std::string Win32Platform::ProfileRead(const std::string& file, const std::string& section, const std::string& key,
                                       const std::string& fallback) {
    return ReadProfileString(file, section, key, fallback);
}

bool Win32Platform::ProfileWrite(const std::string& file, const std::string& section, const std::string& key,
                                 const std::string& value) {
    return WriteProfileString(file, section, key, value);
}

}  // namespace kwp::platform::win32
