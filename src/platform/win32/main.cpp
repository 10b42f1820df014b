// The Windows program's entry: common controls and COM for the shell's
// dialogs, then the program on the Win32 platform.
#include <cstdio>
#include <exception>

#include "kwpshot.h"
#include "platform/dispatch.h"
#include "platform/win32/win32.h"
#include "setkey.h"
// After windows.h, which they build on.
#include <commctrl.h>
#include <objbase.h>

#include "platform/win32/text.h"
#include "platform/win32/win32_platform.h"

namespace {

constexpr int kStartUpError = 1;

// An error before the message loop (a window that cannot be made): the
// default error report, also on stderr for a caller that reads it; the
// program then ends with a non-zero code. Everything later runs through the
// platform's event dispatch.
int ReportStartUpError(const std::exception_ptr& error) {
    const kwp::platform::ErrorReport report = kwp::platform::DefaultErrorReport(error, kwp::kApplicationTitle);
    std::fprintf(stderr, "kwpshot: %s\n", report.text.c_str());
    std::fflush(stderr);
    MessageBoxW(nullptr, kwp::platform::win32::Wide(report.text).c_str(),
                kwp::platform::win32::Wide(report.caption).c_str(), report.flags);
    return kStartUpError;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&controls);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int exitCode = 0;
    try {
        kwp::platform::win32::Win32Platform platform;
        exitCode = kwp::KwpshotMain(platform);
    } catch (...) {
        exitCode = ReportStartUpError(std::current_exception());
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
