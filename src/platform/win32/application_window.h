#pragma once
// The application's hidden top-level window: it owns the main window, the
// message boxes and the save dialog, and carries the program's taskbar entry.
// It never shows anything of its own (it has no size); it is "shown" only to
// put the entry on the taskbar, while the main window is visible. A minimize
// or close from the entry goes to the handlers given.
#include <functional>
#include <string>

#include "platform/win32/message_target.h"

namespace kwp::platform::win32 {

class ApplicationWindow : private MessageTarget {
public:
    ApplicationWindow();
    ~ApplicationWindow() override;

    HWND Handle() const { return window_.Get(); }
    void SetTitle(const std::string& title);
    void ShowTaskbarEntry();
    void HideTaskbarEntry();

    // The taskbar entry's minimize (SC_MINIMIZE) and close (SC_CLOSE).
    void SetHandlers(std::function<void()> onMinimize, std::function<void()> onClose);

private:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    std::function<void()> onMinimize_;
    std::function<void()> onClose_;
    IconHandle bigIcon_;
    IconHandle smallIcon_;
    WindowHandle window_;
};

}  // namespace kwp::platform::win32
