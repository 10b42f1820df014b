#include "platform/win32/timer.h"

#include "core/error.h"
#include "platform/dispatch.h"

namespace kwp::platform::win32 {
namespace {
constexpr UINT_PTR kTimerId = 1;
constexpr wchar_t kClass[] = L"KwpshotTimer";
}  // namespace

MessageTimer::MessageTimer(Platform& platform, int intervalMs, Handler onTimer)
    : platform_(platform), interval_(static_cast<UINT>(intervalMs)), onTimer_(std::move(onTimer)) {
    RegisterTargetClass(kClass);
    WindowParams params;
    params.className = kClass;
    params.x = params.y = params.width = params.height = 0;
    params.parent = HWND_MESSAGE;
    window_ = CreateTargetWindow(*this, params);
}

MessageTimer::~MessageTimer() {
    if (enabled_) KillTimer(window_.Get(), kTimerId);
}

void MessageTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;  // an enabled timer keeps its pending tick
    if (enabled) {
        if (!SetTimer(window_.Get(), kTimerId, interval_, nullptr))
            throw core::Error("Not enough timers available");
    } else {
        KillTimer(window_.Get(), kTimerId);
    }
    enabled_ = enabled;
}

LRESULT MessageTimer::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kTimerId) {
        Dispatch(platform_, onTimer_);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kwp::platform::win32
