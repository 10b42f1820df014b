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
class HeadlessPanel : public Focusable<HeadlessContainer<platform::Panel>> {
public:
    using Focusable::Focusable;

protected:
    HeadlessWindow& OwnerWindow() override { return *window; }
    ControlState* ParentState() override { return this; }
};

namespace {
std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\r\n" : "") + lines[i];
    return out;
}

constexpr auto kNone = platform::Resource::None;
constexpr auto kWindowFont = platform::FontKind::Window;
constexpr auto kSmallFont = platform::FontKind::Small;
constexpr auto kPlainColor = platform::TextColor::WindowText;
}  // namespace

template <class Base>
template <class T>
T* HeadlessContainer<Base>::Add(ControlState state) {
    state.window = &OwnerWindow();
    state.parent = ParentState();
    auto control = std::make_unique<T>(std::move(state));
    T* raw = control.get();
    OwnerWindow().Adopt(std::move(control), raw);
    return raw;
}

template <class Base>
platform::Label* HeadlessContainer<Base>::AddLabel(platform::Bounds b, const std::string& t, platform::FontKind f,
                                                   platform::TextColor c) {
    return Add<HLabel>(State(ControlKind::Label, b, t, f, c));
}
template <class Base>
platform::SpeedButton* HeadlessContainer<Base>::AddSpeedButton(platform::Bounds b, const std::string& t,
                                                               platform::Resource g, platform::Handler h) {
    return Add<HSpeedButton>(State(ControlKind::SpeedButton, b, t, kSmallFont, platform::TextColor::Blue, g, -1,
                                   std::move(h)));
}
template <class Base>
platform::Picture* HeadlessContainer<Base>::AddPicture(platform::Bounds b, platform::Resource r, platform::Handler h) {
    return Add<HPicture>(State(ControlKind::Picture, b, "", kWindowFont, kPlainColor, r, -1, std::move(h)));
}
template <class Base>
platform::Memo* HeadlessContainer<Base>::AddMemo(platform::Bounds b, const std::vector<std::string>& lines, int tab) {
    return Add<HMemo>(State(ControlKind::Memo, b, JoinLines(lines), kSmallFont, kPlainColor, kNone, tab));
}
template <class Base>
platform::Panel* HeadlessContainer<Base>::AddPanel(platform::Bounds b, int tab) {
    return Add<HeadlessPanel>(State(ControlKind::Panel, b, "", kWindowFont, kPlainColor, kNone, tab));
}
template <class Base>
platform::Edit* HeadlessContainer<Base>::AddEdit(platform::Bounds b, const std::string& t, int tab) {
    return Add<HEdit>(State(ControlKind::Edit, b, t, kWindowFont, kPlainColor, kNone, tab));
}
template <class Base>
platform::HotKeyBox* HeadlessContainer<Base>::AddHotKeyBox(platform::Bounds b, uint16_t value, int tab) {
    auto* box = Add<HHotKeyBox>(State(ControlKind::HotKeyBox, b, "", kWindowFont, kPlainColor, kNone, tab));
    box->SetValue(value);
    return box;
}
template <class Base>
platform::CheckBox* HeadlessContainer<Base>::AddCheckBox(platform::Bounds b, const std::string& t, bool checked,
                                                         int tab) {
    auto* box = Add<HCheckBox>(State(ControlKind::CheckBox, b, t, kSmallFont, kPlainColor, kNone, tab));
    box->SetChecked(checked);
    return box;
}

template class HeadlessContainer<platform::Window>;
template class HeadlessContainer<platform::Panel>;

void HeadlessWindow::Adopt(std::unique_ptr<platform::Control> control, ControlState* state) {
    controls_.push_back(state);
    owned_.push_back(std::move(control));
}

HeadlessWindow::HeadlessWindow(HeadlessPlatform& platform, std::string caption, int clientWidth, int clientHeight,
                               bool isMain)
    : platform_(platform), caption_(std::move(caption)), clientWidth_(clientWidth), clientHeight_(clientHeight),
      isMain_(isMain) {}

HeadlessWindow::~HeadlessWindow() { platform_.Forget(this); }

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
