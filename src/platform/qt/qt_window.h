#pragma once
// The main window: fixed dialog frame with the close button only, button-face
// colour, window font, centred the first time it is shown. Closing the main
// window ends the message loop; minimizing it hides it (the tray icon stays).
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/platform.h"
#include "qt_container.h"

namespace kwp::qt {

class MainWidget : public QWidget {
public:
    explicit MainWidget(bool isMain);
    void SetFirstFocus(QWidget* widget) { firstFocus_ = widget; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool isMain_;
    QWidget* firstFocus_ = nullptr;
    bool focusedOnce_ = false;
};

class QtWindow : public platform::Window {
public:
    QtWindow(platform::Platform& platform, const std::string& caption, int clientWidth, int clientHeight,
             bool isMain, std::function<void()> activateSkin);
    ~QtWindow() override;

    platform::Label* AddLabel(platform::Bounds b, const std::string& t, platform::FontKind f,
                              platform::TextColor c) override {
        return controls_.AddLabel(b, t, f, c);
    }
    platform::SpeedButton* AddSpeedButton(platform::Bounds b, const std::string& c, platform::Resource g,
                                          platform::Handler h) override {
        return controls_.AddSpeedButton(b, c, g, std::move(h));
    }
    platform::Picture* AddPicture(platform::Bounds b, platform::Resource p, platform::Handler h) override {
        return controls_.AddPicture(b, p, std::move(h));
    }
    platform::Memo* AddMemo(platform::Bounds b, const std::vector<std::string>& l, int t) override {
        return controls_.AddMemo(b, l, t);
    }
    platform::Panel* AddPanel(platform::Bounds b, int t) override { return controls_.AddPanel(b, t); }
    platform::Edit* AddEdit(platform::Bounds b, const std::string& t, int o) override {
        return controls_.AddEdit(b, t, o);
    }
    platform::HotKeyBox* AddHotKeyBox(platform::Bounds b, uint16_t v, int t) override {
        return controls_.AddHotKeyBox(b, v, t);
    }
    platform::CheckBox* AddCheckBox(platform::Bounds b, const std::string& c, bool k, int t) override {
        return controls_.AddCheckBox(b, c, k, t);
    }

    void SetClientSize(int width, int height) override;
    void Show() override;
    void Hide() override;
    bool Visible() const override;
    void Close() override;
    void ActivateSkin() override;

    QWidget* Widget() const { return widget_.get(); }

private:
    void ChainFocus();

    std::unique_ptr<MainWidget> widget_;
    QtContainer controls_;
    bool isMain_;
    bool shownOnce_ = false;
    std::function<void()> activateSkin_;
};

}  // namespace kwp::qt
