#pragma once
// The notification-area icon with its tooltip, click and popup menu, on a
// hidden top-level window of its own (top-level, so that it hears the shell's
// "TaskbarCreated" broadcast and puts the icon back).
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/message_target.h"

namespace kwp::platform::win32 {

class NotifyIcon : public TrayIcon, private MessageTarget {
public:
    NotifyIcon(Platform& platform, const std::string& hint, std::vector<MenuItem> menu, Handler onClick);
    ~NotifyIcon() override;

private:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    bool Add();
    void OpenMenu();
    void MeasureItem(MEASUREITEMSTRUCT& item) const;
    void DrawItem(const DRAWITEMSTRUCT& item) const;
    LRESULT MenuChar(wchar_t letter) const;

    Platform& platform_;
    std::wstring tip_;
    std::vector<MenuItem> menuItems_;
    std::vector<std::wstring> captions_;
    Handler onClick_;
    IconHandle icon_;
    MenuHandle menu_;
    FontHandle menuFont_;
    UINT taskbarCreated_;
    bool leftPressed_ = false;
    WindowHandle window_;
};

// The tooltip as the tray shows it: at most 127 bytes of the hint in the
// Chinese (GBK) code page, never cutting a character in two.
std::wstring TrayTip(const std::string& hint);

}  // namespace kwp::platform::win32
