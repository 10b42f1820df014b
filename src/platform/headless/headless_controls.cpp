#include "platform/headless/headless_controls.h"

#include <algorithm>
#include <cctype>

#include "core/hotkey_value.h"
#include "platform/dispatch.h"
#include "platform/headless/headless_platform.h"

namespace kwp::headless {

namespace {

// Frame and caption bar around the client area, for the window's position.
constexpr int kFrameWidth = 6;
constexpr int kFrameHeight = 29;

ControlState State(ControlKind kind, platform::Bounds bounds, std::string text, platform::FontKind font,
                   platform::TextColor color, platform::Resource picture = platform::Resource::None,
                   int tabOrder = -1, platform::Handler onClick = {}) {
    ControlState state{};
    state.kind = kind;
    state.bounds = bounds;
    state.text = std::move(text);
    state.font = font;
    state.color = color;
    state.picture = picture;
    state.tabOrder = tabOrder;
    state.onClick = std::move(onClick);
    return state;
}

template <class Base>
class Focusable : public Base, public ControlState {
public:
    explicit Focusable(ControlState state) : ControlState(std::move(state)) {}
    void SetFocus() override { window->SetFocusTo(this); }
    bool Focused() const override { return window->Focused() == this; }
};

class HLabel : public platform::Label, public ControlState {
public:
    explicit HLabel(ControlState s) : ControlState(std::move(s)) {}
};
class HSpeedButton : public platform::SpeedButton, public ControlState {
public:
    explicit HSpeedButton(ControlState s) : ControlState(std::move(s)) {}
};
class HPicture : public platform::Picture, public ControlState {
public:
    explicit HPicture(ControlState s) : ControlState(std::move(s)) {}
};
using HMemo = Focusable<platform::Memo>;

class HEdit : public Focusable<platform::Edit> {
public:
    using Focusable::Focusable;
    std::string Text() const override { return text; }
    void SetText(const std::string& value) override { text = value; }
};

class HHotKeyBox : public Focusable<platform::HotKeyBox> {
public:
    using Focusable::Focusable;
    uint16_t Value() const override { return value_; }
    void SetValue(uint16_t value) override {
        value_ = core::HotKeyBoxValue(value);
        text = core::HotKeyDisplayText(value_);
    }

private:
    uint16_t value_ = 0;
};

class HCheckBox : public Focusable<platform::CheckBox> {
public:
    using Focusable::Focusable;
    bool Checked() const override { return checked_; }
    void SetChecked(bool checked) override { checked_ = checked; }

private:
    bool checked_ = false;
};

}  // namespace

// A panel creates its controls on its window, with itself as their parent.
class HeadlessPanel : public Focusable<platform::Panel> {
public:
    using Focusable::Focusable;

    platform::Label* AddLabel(platform::Bounds b, const std::string& t, platform::FontKind f,
                              platform::TextColor c) override {
        return window->Add<HLabel>(this, ControlKind::Label, b, t, f, c);
    }
    platform::SpeedButton* AddSpeedButton(platform::Bounds b, const std::string& t, platform::Resource g,
                                          platform::Handler h) override {
        return window->Add<HSpeedButton>(this, ControlKind::SpeedButton, b, t, platform::FontKind::Small,
                                         platform::TextColor::Blue, g, -1, std::move(h));
    }
    platform::Picture* AddPicture(platform::Bounds b, platform::Resource r, platform::Handler h) override {
        return window->Add<HPicture>(this, ControlKind::Picture, b, "", platform::FontKind::Window,
                                     platform::TextColor::WindowText, r, -1, std::move(h));
    }
    platform::Memo* AddMemo(platform::Bounds b, const std::vector<std::string>& lines, int tab) override;
    platform::Panel* AddPanel(platform::Bounds b, int tab) override {
        return window->Add<HeadlessPanel>(this, ControlKind::Panel, b, "", platform::FontKind::Window,
                                          platform::TextColor::WindowText, platform::Resource::None, tab);
    }
    platform::Edit* AddEdit(platform::Bounds b, const std::string& t, int tab) override {
        return window->Add<HEdit>(this, ControlKind::Edit, b, t, platform::FontKind::Window,
                                  platform::TextColor::WindowText, platform::Resource::None, tab);
    }
    platform::HotKeyBox* AddHotKeyBox(platform::Bounds b, uint16_t value, int tab) override {
        auto* box = window->Add<HHotKeyBox>(this, ControlKind::HotKeyBox, b, "", platform::FontKind::Window,
                                            platform::TextColor::WindowText, platform::Resource::None, tab);
        box->SetValue(value);
        return box;
    }
    platform::CheckBox* AddCheckBox(platform::Bounds b, const std::string& t, bool checked, int tab) override {
        auto* box = window->Add<HCheckBox>(this, ControlKind::CheckBox, b, t, platform::FontKind::Small,
                                           platform::TextColor::WindowText, platform::Resource::None, tab);
        box->SetChecked(checked);
        return box;
    }
};

namespace {
std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\r\n" : "") + lines[i];
    return out;
}
}  // namespace

platform::Memo* HeadlessPanel::AddMemo(platform::Bounds b, const std::vector<std::string>& lines, int tab) {
    return window->Add<HMemo>(this, ControlKind::Memo, b, JoinLines(lines), platform::FontKind::Small,
                              platform::TextColor::WindowText, platform::Resource::None, tab);
}

template <class T, class... Args>
T* HeadlessWindow::Add(ControlState* parent, Args&&... args) {
    ControlState state = State(std::forward<Args>(args)...);
    state.window = this;
    state.parent = parent;
    auto control = std::make_unique<T>(std::move(state));
    T* raw = control.get();
    controls_.push_back(raw);
    owned_.push_back(std::move(control));
    return raw;
}

HeadlessWindow::HeadlessWindow(HeadlessPlatform& platform, std::string caption, int clientWidth, int clientHeight,
                               bool isMain)
    : platform_(platform), caption_(std::move(caption)), clientWidth_(clientWidth), clientHeight_(clientHeight),
      isMain_(isMain) {}

HeadlessWindow::~HeadlessWindow() { platform_.Forget(this); }

platform::Label* HeadlessWindow::AddLabel(platform::Bounds b, const std::string& t, platform::FontKind f,
                                          platform::TextColor c) {
    return Add<HLabel>(nullptr, ControlKind::Label, b, t, f, c);
}
platform::SpeedButton* HeadlessWindow::AddSpeedButton(platform::Bounds b, const std::string& t,
                                                      platform::Resource g, platform::Handler h) {
    return Add<HSpeedButton>(nullptr, ControlKind::SpeedButton, b, t, platform::FontKind::Small,
                             platform::TextColor::Blue, g, -1, std::move(h));
}
platform::Picture* HeadlessWindow::AddPicture(platform::Bounds b, platform::Resource r, platform::Handler h) {
    return Add<HPicture>(nullptr, ControlKind::Picture, b, "", platform::FontKind::Window,
                         platform::TextColor::WindowText, r, -1, std::move(h));
}
platform::Memo* HeadlessWindow::AddMemo(platform::Bounds b, const std::vector<std::string>& lines, int tab) {
    return Add<HMemo>(nullptr, ControlKind::Memo, b, JoinLines(lines), platform::FontKind::Small,
                      platform::TextColor::WindowText, platform::Resource::None, tab);
}
platform::Panel* HeadlessWindow::AddPanel(platform::Bounds b, int tab) {
    return Add<HeadlessPanel>(nullptr, ControlKind::Panel, b, "", platform::FontKind::Window,
                              platform::TextColor::WindowText, platform::Resource::None, tab);
}
platform::Edit* HeadlessWindow::AddEdit(platform::Bounds b, const std::string& t, int tab) {
    return Add<HEdit>(nullptr, ControlKind::Edit, b, t, platform::FontKind::Window, platform::TextColor::WindowText,
                      platform::Resource::None, tab);
}
platform::HotKeyBox* HeadlessWindow::AddHotKeyBox(platform::Bounds b, uint16_t value, int tab) {
    auto* box = Add<HHotKeyBox>(nullptr, ControlKind::HotKeyBox, b, "", platform::FontKind::Window,
                                platform::TextColor::WindowText, platform::Resource::None, tab);
    box->SetValue(value);
    return box;
}
platform::CheckBox* HeadlessWindow::AddCheckBox(platform::Bounds b, const std::string& t, bool checked, int tab) {
    auto* box = Add<HCheckBox>(nullptr, ControlKind::CheckBox, b, t, platform::FontKind::Small,
                               platform::TextColor::WindowText, platform::Resource::None, tab);
    box->SetChecked(checked);
    return box;
}

void HeadlessWindow::SetClientSize(int width, int height) {
    clientWidth_ = width;
    clientHeight_ = height;
}

void HeadlessWindow::Show() {
    if (!everShown_) {
        left_ = (platform_.ScreenWidth() - (clientWidth_ + kFrameWidth)) / 2;
        top_ = (platform_.ScreenHeight() - (clientHeight_ + kFrameHeight)) / 2;
        everShown_ = true;
    }
    visible_ = true;
    platform_.SetForeground(this);
    if (!focused_) {
        auto order = FocusOrder();
        if (!order.empty()) focused_ = order.front();
    }
}

void HeadlessWindow::Hide() { visible_ = false; }

void HeadlessWindow::Close() {
    visible_ = false;
    if (isMain_) platform_.Quit();
}

ControlState* HeadlessWindow::Find(const std::string& text) const {
    for (ControlState* c : controls_)
        if (c->text == text) return c;
    return nullptr;
}

std::vector<ControlState*> HeadlessWindow::FocusOrder() const {
    std::vector<ControlState*> order;
    auto addLevel = [&](auto& self, ControlState* parent) -> void {
        std::vector<ControlState*> level;
        for (ControlState* c : controls_)
            if (c->parent == parent && c->tabOrder >= 0) level.push_back(c);
        std::stable_sort(level.begin(), level.end(),
                         [](ControlState* a, ControlState* b) { return a->tabOrder < b->tabOrder; });
        for (ControlState* c : level) {
            if (c->kind == ControlKind::Panel)
                self(self, c);  // a panel passes the focus to its own controls
            else
                order.push_back(c);
        }
    };
    addLevel(addLevel, nullptr);
    return order;
}

bool HeadlessWindow::Usable() const { return visible_ && platform_.LoopRunning(); }

bool HeadlessWindow::ClickButton(const std::string& caption) {
    ControlState* button = Find(caption);
    if (!Usable() || !button || !button->onClick) return false;
    platform::Dispatch(platform_, button->onClick);
    return true;
}

bool HeadlessWindow::ClickBanner() {
    for (ControlState* c : controls_)
        if (c->kind == ControlKind::Picture && Usable() && c->bounds.top + c->bounds.height <= clientHeight_) {
            platform::Dispatch(platform_, c->onClick);
            return true;
        }
    return false;
}

bool HeadlessWindow::PressAltLetter(char letter) {
    for (ControlState* c : controls_) {
        auto amp = c->text.find('&');
        if (c->kind == ControlKind::SpeedButton && amp != std::string::npos && amp + 1 < c->text.size() &&
            std::toupper(static_cast<unsigned char>(c->text[amp + 1])) == std::toupper(static_cast<unsigned char>(letter)))
            return ClickButton(c->text);
    }
    return false;
}

bool HeadlessWindow::FocusOn(platform::FocusControl* control) {
    if (!Usable() || !control) return false;
    control->SetFocus();
    return true;
}

bool HeadlessWindow::TypeInto(platform::FocusControl* control, const std::string& text) {
    auto* edit = dynamic_cast<platform::Edit*>(control);
    if (!edit || !FocusOn(control)) return false;
    edit->SetText(text);
    return true;
}

bool HeadlessWindow::TypeHotKey(platform::HotKeyBox* box, uint8_t virtualKey, bool shift, bool ctrl, bool alt) {
    if (!FocusOn(box)) return false;
    box->SetValue(core::TypedHotKeyValue(virtualKey, shift, ctrl, alt));
    return true;
}

bool HeadlessWindow::ToggleCheckBox(platform::CheckBox* box) {
    if (!FocusOn(box)) return false;
    box->SetChecked(!box->Checked());
    return true;
}

bool HeadlessWindow::PressCloseButton() {
    if (!Usable()) return false;
    Close();
    return true;
}

bool HeadlessWindow::Minimize() {
    if (!Usable()) return false;
    Hide();  // minimizing the application sends the window to the tray
    return true;
}

}  // namespace kwp::headless
