#pragma once
// The hidden message-only window that system-wide hotkeys are registered on.
// Its hotkey messages reach the handler with the message's two parameters.
#include <cstdint>
#include <functional>

#include "platform/platform.h"
#include "platform/win32/message_target.h"

namespace kwp::platform::win32 {

class HotKeyWindow : private MessageTarget {
public:
    using HotKeyHandler = std::function<void(uint32_t wParam, uint32_t lParam)>;

    explicit HotKeyWindow(Platform& platform);

    bool Register(int id, uint32_t systemModifiers, uint8_t virtualKey);
    void Unregister(int id);
    void SetHandler(HotKeyHandler handler) { handler_ = std::move(handler); }

private:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    Platform& platform_;
    HotKeyHandler handler_;
    WindowHandle window_;
};

}  // namespace kwp::platform::win32
