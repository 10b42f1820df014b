#pragma once
// Creating controls on a window or a panel: each control is a Qt widget at its
// exact pixel position, owned by the container's widget; the wrappers are
// owned here. The container remembers the tab order of what it holds so the
// window can chain the focus as designed.
#include <QFrame>
#include <functional>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace kwp::qt {

class QtContainer : public platform::Container {
public:
    // `changed` runs after each control is added (the window re-chains the
    // focus order then).
    QtContainer(platform::Platform& platform, QWidget* widget, std::function<void()> changed);

    platform::Label* AddLabel(platform::Bounds bounds, const std::string& text, platform::FontKind font,
                              platform::TextColor color) override;
    platform::SpeedButton* AddSpeedButton(platform::Bounds bounds, const std::string& caption,
                                          platform::Resource glyph, platform::Handler onClick) override;
    platform::Picture* AddPicture(platform::Bounds bounds, platform::Resource picture,
                                  platform::Handler onClick) override;
    platform::Memo* AddMemo(platform::Bounds bounds, const std::vector<std::string>& lines, int tabOrder) override;
    platform::Panel* AddPanel(platform::Bounds bounds, int tabOrder) override;
    platform::Edit* AddEdit(platform::Bounds bounds, const std::string& text, int tabOrder) override;
    platform::HotKeyBox* AddHotKeyBox(platform::Bounds bounds, uint16_t value, int tabOrder) override;
    platform::CheckBox* AddCheckBox(platform::Bounds bounds, const std::string& caption, bool checked,
                                    int tabOrder) override;

    // The widgets that take the focus, in tab order, panels opened up.
    void AppendFocusChain(std::vector<QWidget*>& chain) const;
    QWidget* Widget() const { return widget_; }

private:
    struct TabStop {
        int order;
        QWidget* widget;                 // a focusable control, or
        const QtContainer* inner = nullptr;  // a panel's controls
    };
    template <typename T>
    T* Keep(std::unique_ptr<T> control);
    void AddTabStop(TabStop stop);

    platform::Platform& platform_;
    QWidget* widget_;
    std::function<void()> changed_;
    std::vector<std::unique_ptr<platform::Control>> controls_;
    std::vector<TabStop> tabStops_;
};

// A window or a panel: what is added to it goes to its QtContainer.
template <class Base>
class ForwardingContainer : public Base {
public:
    platform::Label* AddLabel(platform::Bounds b, const std::string& t, platform::FontKind f,
                              platform::TextColor c) override {
        return Inner().AddLabel(b, t, f, c);
    }
    platform::SpeedButton* AddSpeedButton(platform::Bounds b, const std::string& c, platform::Resource g,
                                          platform::Handler h) override {
        return Inner().AddSpeedButton(b, c, g, std::move(h));
    }
    platform::Picture* AddPicture(platform::Bounds b, platform::Resource p, platform::Handler h) override {
        return Inner().AddPicture(b, p, std::move(h));
    }
    platform::Memo* AddMemo(platform::Bounds b, const std::vector<std::string>& l, int t) override {
        return Inner().AddMemo(b, l, t);
    }
    platform::Panel* AddPanel(platform::Bounds b, int t) override { return Inner().AddPanel(b, t); }
    platform::Edit* AddEdit(platform::Bounds b, const std::string& t, int o) override {
        return Inner().AddEdit(b, t, o);
    }
    platform::HotKeyBox* AddHotKeyBox(platform::Bounds b, uint16_t v, int t) override {
        return Inner().AddHotKeyBox(b, v, t);
    }
    platform::CheckBox* AddCheckBox(platform::Bounds b, const std::string& c, bool k, int t) override {
        return Inner().AddCheckBox(b, c, k, t);
    }

protected:
    virtual QtContainer& Inner() = 0;
};

// A raised panel; its controls use the window font unless told otherwise.
class QtPanel : public ForwardingContainer<platform::Panel> {
public:
    QtPanel(platform::Platform& platform, QFrame* frame, std::function<void()> changed);

    void SetFocus() override;
    bool Focused() const override;
    const QtContainer& Controls() const { return controls_; }

protected:
    QtContainer& Inner() override { return controls_; }

private:
    QFrame* frame_;
    QtContainer controls_;
};

}  // namespace kwp::qt
