// A small Windows console program the Wine suite runs beside kwpshot, to do
// what another program or the shell would do and to read window state that X
// does not show:
//
//   win_probe hold-clipboard      opens the clipboard, prints "held", keeps it
//                                 open until its standard input ends
//   win_probe windows TITLE       one line per visible top-level window of the
//                                 process that owns the window named TITLE:
//                                 "<hwnd> <class> owner=<hwnd> taskbar=<0|1>
//                                 tool=<0|1> topmost=<0|1> enabled=<0|1>
//                                 capture=<0|1>", in z-order, topmost first
//   win_probe minimize HWND       posts the system command a taskbar click
//                                 sends (WM_SYSCOMMAND, SC_MINIMIZE) to HWND
//
// Exit code 0 on success, 1 on a failure (printed on stderr), 2 on a wrong
// command line.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "win_probe: %s (error %lu)\n", what, GetLastError());
    return 1;
}

int HoldClipboard() {
    if (!OpenClipboard(nullptr)) return Fail("cannot open the clipboard");
    std::printf("held\n");
    std::fflush(stdout);
    char buffer[64];
    DWORD read = 0;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    CloseClipboard();
    return 0;
}

// The shell's rule for a taskbar button: a visible top-level window that is
// either unowned and no tool window, or marked as an application window.
bool HasTaskbarEntry(HWND window) {
    const LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (!IsWindowVisible(window)) return false;
    if (ex & WS_EX_APPWINDOW) return true;
    return !(ex & WS_EX_TOOLWINDOW) && GetWindow(window, GW_OWNER) == nullptr;
}

int ListWindows(const wchar_t* title) {
    HWND named = FindWindowW(nullptr, title);
    if (!named) return Fail("no window of that name");
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(named, &process);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(thread, &gui);
    // GetWindow walks the top-level windows in z-order, topmost first.
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != process || !IsWindowVisible(window)) continue;
        wchar_t className[128] = {};
        GetClassNameW(window, className, 128);
        const LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE);
        std::printf("%#lx %ls owner=%#lx taskbar=%d tool=%d topmost=%d enabled=%d capture=%d\n",
                    static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)), className,
                    static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(GetWindow(window, GW_OWNER))),
                    HasTaskbarEntry(window) ? 1 : 0, (ex & WS_EX_TOOLWINDOW) ? 1 : 0, (ex & WS_EX_TOPMOST) ? 1 : 0,
                    IsWindowEnabled(window) ? 1 : 0, gui.hwndCapture == window ? 1 : 0);
    }
    return 0;
}

int Minimize(const wchar_t* handle) {
    HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoul(handle, nullptr, 0)));
    if (!IsWindow(window)) return Fail("no such window");
    if (!PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0)) return Fail("cannot post the command");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"hold-clipboard" && argc == 2) return HoldClipboard();
    if (command == L"windows" && argc == 3) return ListWindows(argv[2]);
    if (command == L"minimize" && argc == 3) return Minimize(argv[2]);
    std::fprintf(stderr, "usage: win_probe hold-clipboard | windows TITLE | minimize HWND\n");
    return 2;
}
