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

class QtWindow : public ForwardingContainer<platform::Window> {
public:
    QtWindow(platform::Platform& platform, const std::string& caption, int clientWidth, int clientHeight,
             bool isMain, std::function<void()> activateSkin);
    ~QtWindow() override;

    void SetClientSize(int width, int height) override;
    void Show() override;
    void Hide() override;
    bool Visible() const override;
    void Close() override;
    void ActivateSkin() override;

    QWidget* Widget() const { return widget_.get(); }

protected:
    QtContainer& Inner() override { return controls_; }

private:
    void ChainFocus();

    std::unique_ptr<MainWidget> widget_;
    QtContainer controls_;
    bool isMain_;
    bool shownOnce_ = false;
    std::function<void()> activateSkin_;
};

}  // namespace kwp::qt
