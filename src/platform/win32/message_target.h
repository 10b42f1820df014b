#pragma once
// Windows whose messages reach a C++ object. The window procedure catches
// everything: no exception ever crosses it; a message whose handling threw
// gets the default handling.
#include <string>

#include "platform/win32/handles.h"

namespace kwp::platform::win32 {

class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    // Called for every message after WM_NCCREATE; the default handling is
    // DefWindowProcW.
    virtual LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

struct ClassLook {
    UINT style = 0;
    HCURSOR cursor = nullptr;  // none: the arrow
    HBRUSH background = nullptr;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
};

// Registers the window class `name` (once per process) with the forwarding
// procedure.
void RegisterTargetClass(const wchar_t* name, const ClassLook& look = {});

struct WindowParams {
    const wchar_t* className = nullptr;
    std::wstring title;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
    HWND parent = nullptr;
};

// Creates a window of a registered target class whose messages go to
// `target`; throws core::Error with the system's text when it fails.
WindowHandle CreateTargetWindow(MessageTarget& target, const WindowParams& params);

// Creates a window of a system class (a standard control); `owner` is stored
// in its user data so that its parent can find the object behind it.
WindowHandle CreateControlWindow(void* owner, const WindowParams& params);

template <typename T>
T* OwnerOf(HWND window) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

HINSTANCE ModuleInstance();

}  // namespace kwp::platform::win32
