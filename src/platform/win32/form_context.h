#pragma once
// One window's shared state for its controls: the platform (for event
// dispatch), the look, the Alt+letter accelerators of its speed buttons, and
// every control for a new layout when the dots per inch change.
#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/form_look.h"

namespace kwp::platform::win32 {

class NativeControl;
class SpeedButtonControl;

struct Accelerator {
    wchar_t letter;  // upper case
    SpeedButtonControl* button;
};

struct FormContext {
    FormContext(Platform& platform, int dpi) : platform(platform), look(dpi) {}

    Platform& platform;
    FormLook look;
    std::vector<Accelerator> accelerators;
    std::vector<NativeControl*> controls;

    template <typename T>
    static void Forget(std::vector<T>& list, const auto& match) {
        list.erase(std::remove_if(list.begin(), list.end(), match), list.end());
    }
};

}  // namespace kwp::platform::win32
