#pragma once
// The one way the Windows backend includes the system headers (UNICODE,
// NOMINMAX and the target version come from the build).
#include <windows.h>
#include <windowsx.h>
