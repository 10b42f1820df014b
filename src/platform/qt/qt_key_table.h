#pragma once
// Qt key codes and the Windows virtual-key codes of the same keys.
#include <cstdint>

namespace kwp::qt {

// The virtual-key code of a key Qt reports; `keypad` when it came from the
// numeric keypad. A shifted symbol of the US layout ("!" for 1, ":" for ";")
// gives the code of its key. 0 for a key with no code.
uint8_t VirtualKeyForQtKey(int qtKey, bool keypad);

}  // namespace kwp::qt
