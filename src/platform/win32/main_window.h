#pragma once
// The program's window: fixed dialog frame with the system menu and close
// button only, centred the first time it is shown, hidden to the tray when
// minimized; closing the application's main window ends the message loop.
// It is owned by the application window, whose taskbar entry it shows and
// hides with itself.
#include <string>

#include "platform/win32/application_window.h"
#include "platform/win32/panel_control.h"

namespace kwp::platform::win32 {

class MainWindow : public ContainerOn<Window>, private MessageTarget {
public:
    // `onDestroyed` runs when the window goes away.
    MainWindow(Platform& platform, ApplicationWindow& application, const std::string& caption, int clientWidth,
               int clientHeight, bool isMain, std::function<void()> onDestroyed);
    ~MainWindow() override;

    void SetClientSize(int width, int height) override;
    void Show() override;
    void Hide() override;
    bool Visible() const override;
    void Close() override;
    void ActivateSkin() override;

    HWND Handle() const { return window_.Get(); }
    // Keyboard handling the message loop does for this window (Alt+letter
    // accelerators, Tab between controls); true when the message was used.
    bool PreTranslate(MSG& message);

private:
    FormContext& Context() override { return context_; }
    HWND Host() const override { return window_.Get(); }
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    SIZE OuterSize() const;
    void ApplyDpi(int dpi, const RECT* suggested);

    FormContext context_;
    ApplicationWindow& application_;
    bool isMain_;
    std::function<void()> onDestroyed_;
    int clientWidth_, clientHeight_;  // designed, at 96 dots per inch
    bool shownBefore_ = false;
    HWND lastFocus_ = nullptr;
    IconHandle bigIcon_;
    IconHandle smallIcon_;
    WindowHandle window_;
};

}  // namespace kwp::platform::win32
