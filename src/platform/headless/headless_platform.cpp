#include "platform/headless/headless_platform.h"

#include <algorithm>

#include "core/error.h"
#include "core/hotkey_value.h"
#include "core/ini_text.h"
#include "kwpshot.h"
#include "platform/dispatch.h"

namespace kwp::headless {

namespace {

// The first holder takes later starts' commands for as long as it holds the
// lock, as the Linux program's socket beside its lock does.
class HeadlessLock : public platform::SessionLock {
public:
    HeadlessLock(HeadlessSystem& system, std::string name, HeadlessPlatform& process)
        : system_(system), name_(std::move(name)) {
        existed_ = system_.lockHolders[name_]++ > 0;
        if (!existed_) system_.commandTakers[name_] = &process;
    }
    ~HeadlessLock() override {
        if (!existed_) system_.commandTakers.erase(name_);
        if (--system_.lockHolders[name_] == 0) system_.lockHolders.erase(name_);
    }
    bool AlreadyExisted() const override { return existed_; }

private:
    HeadlessSystem& system_;
    std::string name_;
    bool existed_;
};

}  // namespace

HeadlessPlatform::HeadlessPlatform(HeadlessSystem& system) : system_(system) {}

HeadlessPlatform::~HeadlessPlatform() {
    // A process that ends gives up its system-wide hotkeys.
    std::erase_if(system_.hotkeys, [this](const auto& entry) { return entry.second.process == this; });
}

int HeadlessPlatform::Run(std::function<void()> user) {
    user_ = std::move(user);
    return KwpshotMain(*this);
}

void HeadlessPlatform::RunMessageLoop() {
    loopRunning_ = loopRan_ = true;
    if (startCommand && commandHandler_)
        platform::Dispatch(*this, [this] { commandHandler_(*startCommand); });
    if (user_) user_();
    loopRunning_ = false;
}

std::unique_ptr<platform::SessionLock> HeadlessPlatform::CreateSessionLock(const std::string& name) {
    guardName_ = name;
    return std::make_unique<HeadlessLock>(system_, name, *this);
}

void HeadlessPlatform::SetCommandHandler(std::function<void(platform::Command)> handler) {
    commandHandler_ = std::move(handler);
}

// The running copy carries the command out in its own loop; the sender only
// learns that it was taken.
bool HeadlessPlatform::HandCommandToRunningCopy() {
    if (!startCommand) return false;
    auto taker = system_.commandTakers.find(guardName_);
    if (taker == system_.commandTakers.end()) return false;
    HeadlessPlatform& running = *taker->second;
    if (!running.LoopRunning() || !running.commandHandler_) return false;
    const platform::Command command = *startCommand;
    platform::Dispatch(running, [&running, command] { running.commandHandler_(command); });
    return true;
}

void HeadlessPlatform::ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    messageBoxes.push_back({text, caption, flags});
    if (onMessageBox) onMessageBox(messageBoxes.back());
}

void HeadlessPlatform::BringApplicationToFront() {
    ++foregroundRequests_;
    foreground_ = this;
}

std::unique_ptr<platform::Window> HeadlessPlatform::NewWindow(const std::string& caption, int clientWidth,
                                                              int clientHeight) {
    auto window = std::make_unique<HeadlessWindow>(*this, caption, clientWidth, clientHeight, windows_.empty());
    windows_.push_back(window.get());
    return window;
}

std::unique_ptr<platform::OverlayWindow> HeadlessPlatform::NewOverlay(platform::OverlayEvents events) {
    auto overlay = std::make_unique<HeadlessOverlay>(*this, std::move(events));
    overlay_ = overlay.get();
    return overlay;
}

std::unique_ptr<platform::Timer> HeadlessPlatform::NewTimer(int intervalMs, platform::Handler onTimer) {
    auto timer = std::make_unique<HeadlessTimer>(*this, intervalMs, std::move(onTimer));
    timers_.push_back(timer.get());
    return timer;
}

std::unique_ptr<platform::TrayIcon> HeadlessPlatform::NewTrayIcon(const std::string& hint, platform::Resource icon,
                                                                  std::vector<platform::MenuItem> menu,
                                                                  platform::Handler onClick) {
    auto tray = std::make_unique<HeadlessTray>(*this, hint, icon, std::move(menu), std::move(onClick));
    tray_ = tray.get();
    return tray;
}

void HeadlessPlatform::Forget(const void* object) {
    std::erase_if(windows_, [object](HeadlessWindow* w) { return w == object; });
    if (overlay_ == object) overlay_ = nullptr;
    if (tray_ == object) tray_ = nullptr;
    if (foreground_ == object) foreground_ = nullptr;
}

void HeadlessPlatform::Unregister(HeadlessTimer* timer) { std::erase(timers_, timer); }

void HeadlessPlatform::AdvanceClock(int64_t ms) {
    const int64_t until = system_.nowMs + ms;
    for (;;) {
        HeadlessTimer* next = nullptr;
        for (HeadlessTimer* t : timers_)
            if (t->Enabled() && t->due <= until && (!next || t->due < next->due)) next = t;
        if (!next || !LoopRunning()) break;
        system_.nowMs = next->due;
        next->due += next->interval;  // a window timer repeats until disabled
        platform::Dispatch(*this, next->onTimer);
    }
    system_.nowMs = until;
}

uint16_t HeadlessPlatform::AddGlobalAtom(const std::string& name) {
    auto found = system_.atoms.find(name);
    if (found != system_.atoms.end()) {
        ++found->second.references;
        return found->second.atom;
    }
    uint16_t atom = system_.nextAtom++;
    system_.atoms[name] = {atom, 1};
    return atom;
}

void HeadlessPlatform::DeleteGlobalAtom(uint16_t atom) {
    for (auto it = system_.atoms.begin(); it != system_.atoms.end(); ++it)
        if (it->second.atom == atom) {
            if (--it->second.references == 0) system_.atoms.erase(it);
            return;
        }
}

bool HeadlessPlatform::RegisterSystemHotKey(int id, uint32_t systemModifiers, uint8_t virtualKey) {
    auto key = std::make_pair(systemModifiers, virtualKey);
    if (system_.hotkeys.count(key)) return false;  // held by this or another program
    system_.hotkeys[key] = {this, id};
    return true;
}

void HeadlessPlatform::UnregisterSystemHotKey(int id) {
    std::erase_if(system_.hotkeys,
                  [this, id](const auto& entry) { return entry.second.process == this && entry.second.id == id; });
}

void HeadlessPlatform::SetHotKeyHandler(std::function<void(uint32_t, uint32_t)> handler) {
    hotKeyHandler_ = std::move(handler);
}

void HeadlessPlatform::PressHotKey(uint32_t systemModifiers, uint8_t virtualKey) {
    auto found = system_.hotkeys.find({systemModifiers, virtualKey});
    if (found == system_.hotkeys.end() || !found->second.process) return;
    HeadlessPlatform& owner = *found->second.process;
    if (!owner.LoopRunning() || !owner.hotKeyHandler_) return;
    const uint32_t wParam = static_cast<uint32_t>(found->second.id);
    const uint32_t lParam = core::HotKeyMessageParam(virtualKey, systemModifiers);
    platform::Dispatch(owner, [&owner, wParam, lParam] { owner.hotKeyHandler_(wParam, lParam); });
}

std::vector<std::pair<int, std::pair<uint32_t, uint8_t>>> HeadlessPlatform::RegisteredHotKeys() const {
    std::vector<std::pair<int, std::pair<uint32_t, uint8_t>>> out;
    for (const auto& [key, owner] : system_.hotkeys)
        if (owner.process == this) out.push_back({owner.id, key});
    return out;
}

core::Bitmap HeadlessPlatform::CopyScreen(int width, int height) {
    if (system_.screenUnreadable) throw core::Error("Canvas does not allow drawing");
    core::Bitmap copy = system_.screen.Crop({0, 0, width, height});
    // While the overlay shows, the screen shows the overlay's picture, centred.
    if (overlay_ && overlay_->Visible() && overlay_->Picture()) {
        const core::Bitmap& shown = *overlay_->Picture();
        const int dx = (width - shown.Width()) / 2, dy = (height - shown.Height()) / 2;
        for (int y = 0; y < shown.Height(); ++y)
            for (int x = 0; x < shown.Width(); ++x)
                if (x + dx >= 0 && x + dx < width && y + dy >= 0 && y + dy < height)
                    copy.SetPixel(x + dx, y + dy, shown.Pixel(x, y));
    }
    return copy;
}

void HeadlessPlatform::SetClipboardBitmap(const core::Bitmap& bitmap) {
    if (system_.clipboardBusy) throw core::Error("Cannot open clipboard");
    ++system_.clipboardWrites;
    if (bitmap.Empty())
        system_.clipboard.reset();
    else
        system_.clipboard = bitmap;
}

std::optional<std::string> HeadlessPlatform::RunSaveDialog(const platform::SaveDialogOptions& options) {
    saveDialogsShown.push_back(options);
    if (saveDialogAnswers.empty()) return std::nullopt;
    std::optional<std::string> answer = saveDialogAnswers.front();
    saveDialogAnswers.pop_front();
    return answer;
}

core::Bytes HeadlessPlatform::ReadFileBytes(const std::string& path) {
    if (system_.unreadablePaths.count(path))
        throw core::Error(core::FillTemplate(core::kCannotOpenFile, {path, "The process cannot access the file because it is being used by another process"}));
    auto found = system_.files.find(path);
    if (found == system_.files.end())
        throw core::Error(core::FillTemplate(core::kCannotOpenFile, {path, "The system cannot find the file specified"}));
    return found->second;
}

void HeadlessPlatform::ReplaceFileBytes(const std::string& path, const core::Bytes& bytes) {
    if (system_.unwritablePaths.count(path))
        throw core::Error(core::FillTemplate(core::kCannotCreateFile, {path, "Access is denied"}));
    system_.files[path] = bytes;
}

std::string HeadlessPlatform::ProfileRead(const std::string& file, const std::string& section, const std::string& key,
                                          const std::string& fallback) {
    const std::string path = system_.SettingsPath(file);
    auto found = system_.files.find(path);
    if (found == system_.files.end() || system_.unreadablePaths.count(path)) return fallback;
    std::string text(found->second.begin(), found->second.end());
    return core::IniLookup(text, section, key).value_or(fallback);
}

bool HeadlessPlatform::ProfileWrite(const std::string& file, const std::string& section, const std::string& key,
                                    const std::string& value) {
    const std::string path = system_.SettingsPath(file);
    if (system_.unwritablePaths.count(path) || system_.settingsWritesLeft == 0) return false;
    if (system_.settingsWritesLeft > 0) --system_.settingsWritesLeft;
    core::Bytes& bytes = system_.files[path];
    std::string updated = core::IniStore(std::string(bytes.begin(), bytes.end()), section, key, value);
    bytes.assign(updated.begin(), updated.end());
    return true;
}

// ---------------------------------------------------------------- overlay

HeadlessOverlay::HeadlessOverlay(HeadlessPlatform& platform, platform::OverlayEvents events)
    : platform_(platform), events_(std::move(events)) {}

HeadlessOverlay::~HeadlessOverlay() { platform_.Forget(this); }

void HeadlessOverlay::Invalidate(const core::Rect& area) {
    repainted_ = repainted_.Union(area);
    ++repaintRequests_;
}

void HeadlessOverlay::ShowMaximized() {
    visible_ = maximized_ = true;
    platform_.SetForeground(this);
}

core::Rect HeadlessOverlay::TakeRepainted() {
    core::Rect out = repainted_;
    repainted_ = {};
    return out;
}

bool HeadlessOverlay::MoveMouse(int x, int y) {
    if (!visible_ || !platform_.LoopRunning()) return false;
    platform::Dispatch(platform_, [&] { events_.onMouseMove(x, y); });
    return true;
}

bool HeadlessOverlay::Press(platform::MouseButton button, int x, int y) {
    if (!visible_ || !platform_.LoopRunning()) return false;
    platform::Dispatch(platform_, [&] { events_.onMouseDown(button, x, y); });
    return true;
}

bool HeadlessOverlay::CloseByWindowSystem() {
    if (!visible_ || !platform_.LoopRunning()) return false;
    visible_ = false;
    platform::Dispatch(platform_, events_.onClosedByWindowSystem);
    return true;
}

// ---------------------------------------------------------------- timer

HeadlessTimer::HeadlessTimer(HeadlessPlatform& platform, int intervalMs, platform::Handler handler)
    : interval(intervalMs), onTimer(std::move(handler)), platform_(platform) {}

HeadlessTimer::~HeadlessTimer() {
    SetEnabled(false);
    platform_.Unregister(this);
}

void HeadlessTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    HeadlessSystem& system = platform_.System();
    if (enabled) {
        if (system.timersLeft <= 0) throw core::Error("Not enough timers available");
        --system.timersLeft;
        due = system.nowMs + interval;
    } else {
        ++system.timersLeft;
    }
    enabled_ = enabled;
}

// ---------------------------------------------------------------- tray

HeadlessTray::HeadlessTray(HeadlessPlatform& platform, std::string hint, platform::Resource icon,
                           std::vector<platform::MenuItem> menu, platform::Handler onClick)
    : platform_(platform), hint_(std::move(hint)), icon_(icon), menu_(std::move(menu)), onClick_(std::move(onClick)) {}

HeadlessTray::~HeadlessTray() { platform_.Forget(this); }

std::vector<std::string> HeadlessTray::MenuCaptions() const {
    std::vector<std::string> out;
    for (const auto& item : menu_) out.push_back(item.caption);
    return out;
}

bool HeadlessTray::LeftClick() {
    if (!platform_.LoopRunning()) return false;
    platform::Dispatch(platform_, onClick_);
    return true;
}

bool HeadlessTray::ChooseFromMenu(const std::string& caption) {
    if (!platform_.LoopRunning()) return false;
    for (const auto& item : menu_)
        if (item.caption == caption) {
            platform::Dispatch(platform_, item.onClick);
            return true;
        }
    return false;
}

}  // namespace kwp::headless
