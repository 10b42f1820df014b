#pragma once
// The capture overlay: a borderless topmost popup shown maximized over the
// primary display, showing a core bitmap 1:1, centred, and reporting pointer
// moves and button presses in client pixels.
#include "platform/platform.h"
#include "platform/win32/message_target.h"

namespace kwp::platform::win32 {

class Overlay : public OverlayWindow, private MessageTarget {
public:
    Overlay(Platform& platform, OverlayEvents events);

    void SetPicture(const core::Bitmap* picture) override;
    void Invalidate(const core::Rect& area) override;
    void ShowMaximized() override;
    void Hide() override;
    bool Visible() const override;

private:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    POINT PictureOrigin() const;
    void Paint();
    void Press(MouseButton button, LPARAM lParam);

    Platform& platform_;
    OverlayEvents events_;
    const core::Bitmap* picture_ = nullptr;
    WindowHandle window_;
};

}  // namespace kwp::platform::win32
