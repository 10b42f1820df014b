#include "platform/dispatch.h"

#include <exception>

#include "core/error.h"

namespace kwp::platform {

void Dispatch(Platform& platform, const std::function<void()>& handler) {
    if (!handler) return;
    std::string message;
    try {
        handler();
        return;
    } catch (const std::bad_alloc&) {
        message = "Out of memory";
    } catch (const std::exception& error) {
        message = error.what();
    }
    platform.ShowMessageBox(core::ErrorReportText(message), platform.ApplicationTitle(), kMbIconError);
}

}  // namespace kwp::platform
