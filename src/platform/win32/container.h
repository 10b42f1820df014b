#pragma once
// The controls a window or a panel creates on itself and owns. Controls with
// a tab order are stacked in that order, which is the order Tab visits them.
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/win32/hotkey_box.h"
#include "platform/win32/picture_control.h"
#include "platform/win32/speed_button.h"
#include "platform/win32/standard_controls.h"

namespace kwp::platform::win32 {

template <typename Interface>
class ContainerOn : public Interface {
public:
    Label* AddLabel(Bounds bounds, const std::string& text, FontKind font, TextColor color) override {
        return Keep(std::make_unique<LabelControl>(Context(), Host(), bounds, text, font, color));
    }
    SpeedButton* AddSpeedButton(Bounds bounds, const std::string& caption, Resource glyph,
                                Handler onClick) override {
        return Keep(std::make_unique<SpeedButtonControl>(Context(), Host(), bounds, caption, glyph,
                                                         std::move(onClick)));
    }
    Picture* AddPicture(Bounds bounds, Resource picture, Handler onClick) override {
        return Keep(std::make_unique<PictureControl>(Context(), Host(), bounds, picture, std::move(onClick)));
    }
    Memo* AddMemo(Bounds bounds, const std::vector<std::string>& lines, int tabOrder) override {
        return Keep(std::make_unique<MemoControl>(Context(), Host(), bounds, lines), tabOrder);
    }
    Panel* AddPanel(Bounds bounds, int tabOrder) override;  // after PanelControl (panel_control.h)
    Edit* AddEdit(Bounds bounds, const std::string& text, int tabOrder) override {
        return Keep(std::make_unique<EditControl>(Context(), Host(), bounds, text), tabOrder);
    }
    HotKeyBox* AddHotKeyBox(Bounds bounds, uint16_t value, int tabOrder) override {
        return Keep(std::make_unique<HotKeyBoxControl>(Context(), Host(), bounds, value), tabOrder);
    }
    CheckBox* AddCheckBox(Bounds bounds, const std::string& caption, bool checked, int tabOrder) override {
        return Keep(std::make_unique<CheckBoxControl>(Context(), Host(), bounds, caption, checked), tabOrder);
    }

protected:
    virtual FormContext& Context() = 0;
    virtual HWND Host() const = 0;
    // Controls go before the window they sit on.
    void DestroyControls() {
        tabbed_.clear();
        while (!controls_.empty()) controls_.pop_back();
    }

    template <typename T>
    T* Keep(std::unique_ptr<T> control, int tabOrder = -1) {
        T* kept = control.get();
        if (tabOrder >= 0) {
            tabbed_.push_back({tabOrder, tabbed_.size(), kept->Handle()});
            std::sort(tabbed_.begin(), tabbed_.end(), [](const Tabbed& a, const Tabbed& b) {
                return a.order != b.order ? a.order < b.order : a.sequence < b.sequence;
            });
            HWND after = HWND_TOP;
            for (const Tabbed& entry : tabbed_) {
                SetWindowPos(entry.window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                after = entry.window;
            }
        }
        controls_.push_back(std::move(control));
        return kept;
    }

private:
    struct Tabbed {
        int order;
        size_t sequence;
        HWND window;
    };
    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<Tabbed> tabbed_;
};

}  // namespace kwp::platform::win32
