// The Windows program's entry: common controls and COM for the shell's
// dialogs, then the program on the Win32 platform.
#include <exception>

#include "kwpshot.h"
#include "platform/win32/win32.h"
// After windows.h, which they build on.
#include <commctrl.h>
#include <objbase.h>

#include "platform/win32/text.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&controls);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int exitCode = 0;
    try {
        kwp::platform::win32::Win32Platform platform;
        exitCode = kwp::KwpshotMain(platform);
    } catch (const std::exception& error) {
        // Only start-up itself can get here (a window that cannot be made);
        // everything later runs through the platform's event dispatch.
        MessageBoxW(nullptr, kwp::platform::win32::Wide(error.what()).c_str(), L"kwpshot", MB_OK | MB_ICONERROR);
        exitCode = 1;
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
