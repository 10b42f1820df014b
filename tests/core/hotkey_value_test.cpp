#include "core/hotkey_value.h"

#include <gtest/gtest.h>

#include <vector>

namespace kwp::core {
namespace {

TEST(HotKeyValue, BoxKeepsKeyByteAndModifierBitsOfTheLowWord) {
    struct Case {
        int64_t written;
        uint16_t kept;
    };
    const std::vector<Case> cases = {
        {16465, 16465},        // Ctrl+Q
        {81985, 16449},        // 0x14041: Ctrl+A
        {4177, 81},            // 0x1051: Q, bit 0x1000 lost
        {-1, 57599},           // 0xE0FF
        {0xFFFFFFFFll, 57599}, // $FFFFFFFF read as -1 or widened
        {70000, 0x70},         // 0x11170: F1 alone
        {0, 0},
        {0x1F00, 0},           // bits 8..12 only
        {0xE000, 0xE000},      // modifiers without a key
        {INT32_MIN, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(HotKeyBoxValue(c.written), c.kept) << c.written;
}

TEST(HotKeyValue, TypedKeyWithoutCtrlOrAltGetsCtrl) {
    struct Case {
        bool shift, ctrl, alt;
        uint16_t value;
    };
    const std::vector<Case> cases = {
        {false, false, false, 0x4051}, {true, false, false, 0x6051}, {false, true, false, 0x4051},
        {false, false, true, 0x8051},  {true, false, true, 0xA051},  {true, true, true, 0xE051},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TypedHotKeyValue('Q', c.shift, c.ctrl, c.alt), c.value) << c.shift << c.ctrl << c.alt;
}

TEST(HotKeyValue, SplitsIntoKeyAndSystemModifiers) {
    struct Case {
        uint32_t value;
        uint8_t key;
        uint32_t modifiers;
    };
    const std::vector<Case> cases = {
        {0x4051, 'Q', kModControl},
        {0x2070, 0x70, kModShift},
        {0x8041, 'A', kModAlt},
        {0x10041, 'A', kModWin},
        {0x1E0FF, 0xFF, kModShift | kModControl | kModAlt | kModWin},
        {0x1F51, 'Q', 0},  // bits 8..12 are ignored
        {0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HotKeyVirtualKey(c.value), c.key) << c.value;
        EXPECT_EQ(HotKeySystemModifiers(c.value), c.modifiers) << c.value;
        // What the system reports for the registration rebuilds the value.
        uint32_t lParam = HotKeyMessageParam(c.key, c.modifiers);
        EXPECT_EQ(lParam, (uint32_t{c.key} << 16) | c.modifiers);
        EXPECT_EQ(HotKeyValueFromMessage(lParam), c.value & ~0x1F00u) << c.value;
    }
}

TEST(HotKeyValue, AtomNameEndsInTheUnsignedValue) {
    EXPECT_EQ(HotKeyAtomName(16465), "HotKeyManagerHotKey16465");
    EXPECT_EQ(HotKeyAtomName(0), "HotKeyManagerHotKey0");
    EXPECT_EQ(HotKeyAtomName(0xFFFFFFFFu), "HotKeyManagerHotKey4294967295");
}

TEST(HotKeyValue, DisplayTextNamesModifiersThenKey) {
    struct Case {
        uint16_t value;
        const char* text;
    };
    const std::vector<Case> cases = {
        {0, ""},
        {16465, "Ctrl + Q"},
        {0x70, "F1"},
        {0x2000 | 0x8000 | 0x70, "Shift + Alt + F1"},
        {0xE000 | '5', "Ctrl + Shift + Alt + 5"},
        {0x4000 | 0x87, "Ctrl + F24"},
        {0x4000 | 0x60, "Ctrl + Num 0"},
        {0x4000 | 0x69, "Ctrl + Num 9"},
        {0x4000 | 0x21, "Ctrl + Page Up"},
        {0x4000 | 0x2C, "Ctrl + Print Screen"},
        {0x4000 | 0x25, "Ctrl + Left"},
        {0x4000 | 0x20, "Ctrl + Space"},
        {0x4000 | 0x1B, "Ctrl + Esc"},
        {0x4000 | 0xBA, "Ctrl + ;"},
        {0x4000 | 0xDC, "Ctrl + \\"},
        {0x4000, "Ctrl + "},
        {0xE000, "Ctrl + Shift + Alt + "},
        {57599, "Ctrl + Shift + Alt + 0xFF"},
        {0x4007, "Ctrl + 0x07"},
    };
    for (const Case& c : cases) EXPECT_EQ(HotKeyDisplayText(c.value), c.text) << c.value;
}

}  // namespace
}  // namespace kwp::core
