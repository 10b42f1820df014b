#include "core/hotkey_value.h"

#include <array>
#include <cstdio>

namespace kwp::core {
namespace {

constexpr uint32_t kBoxModifiers = kHotKeyShift | kHotKeyCtrl | kHotKeyAlt;

// Value bit and the matching RegisterHotKey flag.
struct ModifierPair {
    uint32_t valueBit;
    uint32_t systemFlag;
};
constexpr std::array<ModifierPair, 4> kModifierPairs = {{
    {kHotKeyShift, kModShift},
    {kHotKeyCtrl, kModControl},
    {kHotKeyAlt, kModAlt},
    {kHotKeyWin, kModWin},
}};

// Key names as the hotkey box shows them; nullptr where the key has no name
// of its own here.
const char* NamedKey(uint8_t key) {
    switch (key) {
        case 0x08: return "Backspace";
        case 0x09: return "Tab";
        case 0x0C: return "Clear";
        case 0x0D: return "Enter";
        case 0x10: return "Shift";
        case 0x11: return "Ctrl";
        case 0x12: return "Alt";
        case 0x13: return "Pause";
        case 0x14: return "Caps Lock";
        case 0x1B: return "Esc";
        case 0x20: return "Space";
        case 0x21: return "Page Up";
        case 0x22: return "Page Down";
        case 0x23: return "End";
        case 0x24: return "Home";
        case 0x25: return "Left";
        case 0x26: return "Up";
        case 0x27: return "Right";
        case 0x28: return "Down";
        case 0x2C: return "Print Screen";
        case 0x2D: return "Insert";
        case 0x2E: return "Delete";
        case 0x5B: return "Left Windows";
        case 0x5C: return "Right Windows";
        case 0x5D: return "Application";
        case 0x6A: return "Num *";
        case 0x6B: return "Num +";
        case 0x6D: return "Num -";
        case 0x6E: return "Num Del";
        case 0x6F: return "Num /";
        case 0x90: return "Num Lock";
        case 0x91: return "Scroll Lock";
        case 0xBA: return ";";
        case 0xBB: return "=";
        case 0xBC: return ",";
        case 0xBD: return "-";
        case 0xBE: return ".";
        case 0xBF: return "/";
        case 0xC0: return "`";
        case 0xDB: return "[";
        case 0xDC: return "\\";
        case 0xDD: return "]";
        case 0xDE: return "'";
        case 0xE2: return "\\";
        default: return nullptr;
    }
}

std::string KeyName(uint8_t key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, static_cast<char>(key));
    // Appended rather than "text" + number: GCC 12 reports a false -Wrestrict
    // for a literal put in front of a temporary string.
    if (key >= 0x60 && key <= 0x69) return std::string("Num ").append(std::to_string(key - 0x60));
    if (key >= 0x70 && key <= 0x87) return std::string("F").append(std::to_string(key - 0x70 + 1));
    if (const char* name = NamedKey(key)) return name;
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", key);
    return code;
}

}  // namespace

uint16_t HotKeyBoxValue(int64_t written) {
    uint32_t word = static_cast<uint32_t>(static_cast<uint64_t>(written) & 0xFFFF);
    return static_cast<uint16_t>((word & 0xFF) | (word & kBoxModifiers));
}

uint16_t TypedHotKeyValue(uint8_t virtualKey, bool shift, bool ctrl, bool alt) {
    if (!ctrl && !alt) ctrl = true;  // no modifier, or Shift alone, is not a valid hotkey
    uint32_t value = virtualKey;
    if (shift) value |= kHotKeyShift;
    if (ctrl) value |= kHotKeyCtrl;
    if (alt) value |= kHotKeyAlt;
    return static_cast<uint16_t>(value);
}

uint8_t HotKeyVirtualKey(uint32_t value) { return static_cast<uint8_t>(value & 0xFF); }

uint32_t HotKeySystemModifiers(uint32_t value) {
    uint32_t flags = 0;
    for (const ModifierPair& pair : kModifierPairs)
        if (value & pair.valueBit) flags |= pair.systemFlag;
    return flags;
}

uint32_t HotKeyValueFromMessage(uint32_t lParam) {
    uint32_t value = lParam >> 16;
    for (const ModifierPair& pair : kModifierPairs)
        if (lParam & pair.systemFlag) value |= pair.valueBit;
    return value;
}

uint32_t HotKeyMessageParam(uint8_t virtualKey, uint32_t systemModifiers) {
    return (uint32_t{virtualKey} << 16) | (systemModifiers & 0xFFFF);
}

std::string HotKeyAtomName(uint32_t value) { return "HotKeyManagerHotKey" + std::to_string(value); }

// Modifiers in the order Ctrl, Shift, Alt, each followed by " + ", then the
// key's name. A value with modifiers but no key shows the modifiers with the
// trailing " + ", as the box looks while only modifiers are held.
std::string HotKeyDisplayText(uint16_t value) {
    std::string text;
    if (value & kHotKeyCtrl) text += "Ctrl + ";
    if (value & kHotKeyShift) text += "Shift + ";
    if (value & kHotKeyAlt) text += "Alt + ";
    if (uint8_t key = HotKeyVirtualKey(value)) text += KeyName(key);
    return text;
}

}  // namespace kwp::core
