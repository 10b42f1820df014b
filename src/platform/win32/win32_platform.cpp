#include "platform/win32/win32_platform.h"

#include <shellapi.h>

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

constexpr wchar_t kApplicationClass[] = L"KwpshotApplication";

WindowHandle CreateApplicationWindow(MessageTarget& target) {
    RegisterTargetClass(kApplicationClass);
    WindowParams params;
    params.className = kApplicationClass;
    params.style = WS_POPUP;
    // Never shown; at the centre of the screen so that the boxes and dialogs
    // it owns open there.
    params.x = GetSystemMetrics(SM_CXSCREEN) / 2;
    params.y = GetSystemMetrics(SM_CYSCREEN) / 2;
    params.width = params.height = 0;
    return CreateTargetWindow(target, params);
}

}  // namespace

Win32Platform::Win32Platform() : application_(CreateApplicationWindow(*this)), hotKeys_(*this) {}

Win32Platform::~Win32Platform() { SetWindowLongPtrW(application_.Get(), GWLP_USERDATA, 0); }

LRESULT Win32Platform::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

template <typename Run>
auto Win32Platform::Modal(Run run) {
    HWND active = GetActiveWindow();
    HWND disabled = nullptr;
    if (mainWindow_ && IsWindowVisible(mainWindow_->Handle()) && IsWindowEnabled(mainWindow_->Handle())) {
        disabled = mainWindow_->Handle();
        EnableWindow(disabled, FALSE);
    }
    struct Restore {
        HWND disabled, active;
        ~Restore() {
            if (disabled) EnableWindow(disabled, TRUE);
            if (active && IsWindowVisible(active)) SetActiveWindow(active);
        }
    } restore{disabled, active};
    return run(application_.Get());
}

std::unique_ptr<SessionLock> Win32Platform::CreateSessionLock(const std::string& name) {
    return std::make_unique<NamedMutexLock>(name);
}

void Win32Platform::SetApplicationTitle(const std::string& title) {
    title_ = title;
    SetWindowTextW(application_.Get(), Wide(title).c_str());
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

void Win32Platform::BringApplicationToFront() { SetForegroundWindow(application_.Get()); }

void Win32Platform::OpenWithShell(const std::string& address) {
    HWND owner = mainWindow_ ? mainWindow_->Handle() : application_.Get();
    ShellExecuteW(owner, nullptr, Wide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

core::Date Win32Platform::Today() const {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay};
}

std::unique_ptr<Window> Win32Platform::NewWindow(const std::string& caption, int clientWidth, int clientHeight) {
    const bool isMain = mainWindow_ == nullptr;
    auto window = std::make_unique<MainWindow>(*this, caption, clientWidth, clientHeight, isMain, [this, isMain] {
        if (isMain) mainWindow_ = nullptr;
    });
    if (isMain) mainWindow_ = window.get();
    return window;
}

std::unique_ptr<OverlayWindow> Win32Platform::NewOverlay(OverlayEvents events) {
    return std::make_unique<Overlay>(*this, std::move(events));
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
    PutBitmapOnClipboard(application_.Get(), bitmap);
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
