#pragma once
// Windows virtual-key codes and the X keysyms of the same keys.
#include <cstdint>

namespace kwp::qt {

// The keysym of a virtual-key code: letters, digits, F1..F24, Print, the
// navigation, editing, keypad and punctuation keys (US positions); 0 when the
// code names no key that X knows.
uint32_t KeysymForVirtualKey(uint8_t virtualKey);

}  // namespace kwp::qt
