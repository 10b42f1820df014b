#pragma once
// How a Qt slot runs a program callback: through the platform's Dispatch
// (default error report for an error the handler let through), and nothing
// at all escapes into Qt's event loop.
#include "platform/dispatch.h"

namespace kwp::qt {

inline void RunHandler(platform::Platform& platform, const platform::Handler& handler) noexcept {
    try {
        platform::Dispatch(platform, handler);
    } catch (...) {
        // Dispatch reports std::exception; anything else, and a failing
        // report, ends here.
        try {
            platform.ShowMessageBox("Unexpected error.", platform.ApplicationTitle(), platform::kMbIconError);
        } catch (...) {
        }
    }
}

}  // namespace kwp::qt
