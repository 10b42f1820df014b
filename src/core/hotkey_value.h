#pragma once
// The hotkey value: a 16-bit word, virtual-key code in bits 0..7, 0x2000 Shift,
// 0x4000 Ctrl, 0x8000 Alt (0x10000 Windows key, which the box never carries).
#include <cstdint>
#include <string>

namespace kwp::core {

inline constexpr uint32_t kHotKeyShift = 0x2000;
inline constexpr uint32_t kHotKeyCtrl = 0x4000;
inline constexpr uint32_t kHotKeyAlt = 0x8000;
inline constexpr uint32_t kHotKeyWin = 0x10000;
inline constexpr uint16_t kDefaultHotKey = 16465;  // Ctrl+Q

// System modifier flags of RegisterHotKey.
inline constexpr uint32_t kModAlt = 1;
inline constexpr uint32_t kModControl = 2;
inline constexpr uint32_t kModShift = 4;
inline constexpr uint32_t kModWin = 8;

// What the hotkey box keeps of a number written into it: the low 16 bits, of
// which the key byte and the Shift/Ctrl/Alt bits; bits 8..12 are lost.
uint16_t HotKeyBoxValue(int64_t written);

// The value a key typed into the hotkey box gives: a key with no modifier or
// with Shift alone gets Ctrl added.
uint16_t TypedHotKeyValue(uint8_t virtualKey, bool shift, bool ctrl, bool alt);

// The key code (low byte) and the RegisterHotKey modifier flags of a value.
uint8_t HotKeyVirtualKey(uint32_t value);
uint32_t HotKeySystemModifiers(uint32_t value);

// The value rebuilt from a hotkey message's second parameter: key code in the
// high word, system modifier flags in the low word.
uint32_t HotKeyValueFromMessage(uint32_t lParam);

// The second parameter a hotkey message carries for a key and modifier flags.
uint32_t HotKeyMessageParam(uint8_t virtualKey, uint32_t systemModifiers);

// "HotKeyManagerHotKey" followed by the value in unsigned decimal.
std::string HotKeyAtomName(uint32_t value);

// What a hotkey box shows: "Ctrl + Q", "Shift + Alt + F1", "" for 0;
// modifiers without a key show as "Ctrl + ", unnamed keys as "0xFF".
std::string HotKeyDisplayText(uint16_t value);

}  // namespace kwp::core
