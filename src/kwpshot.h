#pragma once
#include "platform/platform.h"

namespace kwp {

// The program's entry routine on any platform: the single-instance guard, the
// application title, the main window and the capture overlay, the message
// loop. Returns the process exit code, 0 on every path; an error raised
// before the loop runs leaves it (the backend's entry reports it).
int KwpshotMain(platform::Platform& platform);

}  // namespace kwp
