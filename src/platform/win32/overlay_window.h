#pragma once
// The capture overlay: a borderless topmost popup shown maximized over the
// primary display, showing a core bitmap 1:1, centred, and reporting pointer
// moves and button presses in client pixels. It has no taskbar or Alt+Tab
// entry (a tool window), and holds the mouse from a press to its release, so
// that the moves go on reaching it off the overlay.
#include <functional>

#include "platform/platform.h"
#include "platform/win32/message_target.h"

namespace kwp::platform::win32 {

class Overlay : public OverlayWindow, private MessageTarget {
public:
    // `onDestroyed` runs when the overlay goes away.
    Overlay(Platform& platform, OverlayEvents events, std::function<void()> onDestroyed);
    ~Overlay() override;

    void SetPicture(const core::Bitmap* picture) override;
    void Invalidate(const core::Rect& area) override;
    void ShowMaximized() override;
    void Hide() override;
    bool Visible() const override;

    HWND Handle() const { return window_.Get(); }

private:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    POINT PictureOrigin() const;
    void Paint();
    void Press(MouseButton button, LPARAM lParam);
    void Release(WPARAM buttonsHeld);

    Platform& platform_;
    OverlayEvents events_;
    std::function<void()> onDestroyed_;
    const core::Bitmap* picture_ = nullptr;
    WindowHandle window_;
};

}  // namespace kwp::platform::win32
