#pragma once
// Windows and controls of the in-memory platform: they keep what a user would
// see (texts, bounds, focus, visibility) and take a user's actions.
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kwp::headless {

class HeadlessPlatform;
class HeadlessWindow;

enum class ControlKind { Label, SpeedButton, Picture, Memo, Panel, Edit, HotKeyBox, CheckBox };

// What every control keeps, whatever its kind.
struct ControlState {
    ControlKind kind;
    platform::Bounds bounds;
    std::string text;  // caption, label text, edit text, memo lines joined by "\r\n"
    platform::FontKind font = platform::FontKind::Window;
    platform::TextColor color = platform::TextColor::WindowText;
    platform::Resource picture = platform::Resource::None;
    int tabOrder = -1;  // -1: never takes the focus
    platform::Handler onClick;
    HeadlessWindow* window = nullptr;
    ControlState* parent = nullptr;  // the panel it sits on; null on the window
};

// Creates controls on a window, with a panel (or the window itself) as their
// parent. Shared by the window and its panels.
template <class Base>
class HeadlessContainer : public Base {
public:
    platform::Label* AddLabel(platform::Bounds, const std::string&, platform::FontKind, platform::TextColor) override;
    platform::SpeedButton* AddSpeedButton(platform::Bounds, const std::string&, platform::Resource,
                                          platform::Handler) override;
    platform::Picture* AddPicture(platform::Bounds, platform::Resource, platform::Handler) override;
    platform::Memo* AddMemo(platform::Bounds, const std::vector<std::string>&, int) override;
    platform::Panel* AddPanel(platform::Bounds, int) override;
    platform::Edit* AddEdit(platform::Bounds, const std::string&, int) override;
    platform::HotKeyBox* AddHotKeyBox(platform::Bounds, uint16_t, int) override;
    platform::CheckBox* AddCheckBox(platform::Bounds, const std::string&, bool, int) override;

protected:
    virtual HeadlessWindow& OwnerWindow() = 0;
    virtual ControlState* ParentState() = 0;  // null on the window itself

private:
    template <class T>
    T* Add(ControlState state);
};

class HeadlessWindow : public HeadlessContainer<platform::Window> {
public:
    HeadlessWindow(HeadlessPlatform& platform, std::string caption, int clientWidth, int clientHeight, bool isMain);
    ~HeadlessWindow() override;

    // platform::Window
    void SetClientSize(int width, int height) override;
    void Show() override;
    void Hide() override;
    bool Visible() const override { return visible_; }
    void Close() override;
    void ActivateSkin() override { skinActive_ = true; }

    // What a user sees.
    const std::string& Caption() const { return caption_; }
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    int Left() const { return left_; }
    int Top() const { return top_; }
    bool SkinActive() const { return skinActive_; }
    bool IsMain() const { return isMain_; }
    const std::vector<ControlState*>& Controls() const { return controls_; }
    ControlState* Find(const std::string& text) const;  // by caption or text
    ControlState* Focused() const { return focused_; }
    // The controls that take the focus, in tab order (the window's, then each
    // panel's in place).
    std::vector<ControlState*> FocusOrder() const;

    // What a user does. Each returns false when it could not be done (window
    // hidden, control missing, the program has ended).
    bool ClickButton(const std::string& caption);  // a speed button: the focus stays where it was
    bool ClickBanner();
    bool PressAltLetter(char letter);             // the button whose caption has "&letter"
    bool TypeInto(platform::FocusControl* control, const std::string& text);  // focus it, replace its text
    bool TypeHotKey(platform::HotKeyBox* box, uint8_t virtualKey, bool shift, bool ctrl, bool alt);
    bool ToggleCheckBox(platform::CheckBox* box);
    bool FocusOn(platform::FocusControl* control);
    bool PressCloseButton();
    bool Minimize();

    void SetFocusTo(ControlState* control) { focused_ = control; }
    // Takes a control created on this window or one of its panels.
    void Adopt(std::unique_ptr<platform::Control> control, ControlState* state);

protected:
    HeadlessWindow& OwnerWindow() override { return *this; }
    ControlState* ParentState() override { return nullptr; }

private:
    bool Usable() const;

    HeadlessPlatform& platform_;
    std::string caption_;
    int clientWidth_, clientHeight_;
    int left_ = 0, top_ = 0;
    bool isMain_;
    bool visible_ = false;
    bool everShown_ = false;
    bool skinActive_ = false;
    std::vector<std::unique_ptr<platform::Control>> owned_;
    std::vector<ControlState*> controls_;
    ControlState* focused_ = nullptr;
};

}  // namespace kwp::headless
