#pragma once
// A window-message timer on a message-only window of its own.
#include "platform/platform.h"
#include "platform/win32/message_target.h"

namespace kwp::platform::win32 {

class MessageTimer : public Timer, private MessageTarget {
public:
    MessageTimer(Platform& platform, int intervalMs, Handler onTimer);
    ~MessageTimer() override;

    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return enabled_; }

private:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    Platform& platform_;
    UINT interval_;
    Handler onTimer_;
    bool enabled_ = false;
    WindowHandle window_;
};

}  // namespace kwp::platform::win32
