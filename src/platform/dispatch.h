#pragma once
// The platform's event dispatch: every backend runs program callbacks through
// here. An error a handler lets through ends that handler and is shown in the
// default error report (caption the application title, error icon, one OK
// button, the full-stop rule); the message loop then goes on.
#include "platform/platform.h"

namespace kwp::platform {

void Dispatch(Platform& platform, const std::function<void()>& handler);

}  // namespace kwp::platform
