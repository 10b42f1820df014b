#pragma once
// The platform's event dispatch: every backend runs program callbacks through
// here. An error a handler lets through ends that handler and is shown in the
// default error report (caption the application title, error icon, one OK
// button, the full-stop rule); the message loop then goes on.
#include <exception>
#include <string>

#include "platform/platform.h"

namespace kwp::platform {

void Dispatch(Platform& platform, const std::function<void()>& handler);

// The default error report's box for an error that escaped: its text (the
// full-stop rule applied), the caption and the flags. Dispatch shows it; a
// backend's entry shows it for an error raised before the message loop.
struct ErrorReport {
    std::string text;
    std::string caption;
    unsigned flags = kMbOk | kMbIconError;
};
ErrorReport DefaultErrorReport(const std::exception_ptr& error, const std::string& applicationTitle);

}  // namespace kwp::platform
