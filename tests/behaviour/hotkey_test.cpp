// The capture hotkey: registration at start, change on Save, a combination
// held by another program, and the pressed hotkey in both window states.
#include "program_fixture.h"

#include "core/hotkey_value.h"

namespace kwp::testing {
namespace {

using core::kModAlt;
using core::kModControl;
using core::kModShift;

TEST_F(ProgramTest, SaveReRegistersTheHotKeyEvenWhenUnchanged) {
    Run([&] {
        ASSERT_TRUE(Save());
        // The id is the new registration's, under the same atom name.
        ASSERT_EQ(process.RegisteredHotKeys().size(), 1u);
        EXPECT_EQ(Form2->CaptureHotKeyId, process.RegisteredHotKeys()[0].first);
        EXPECT_EQ(desktop.AtomName(Form2->CaptureHotKeyId), "HotKeyManagerHotKey16465");
        EXPECT_EQ(desktop.atoms.at("HotKeyManagerHotKey16465").references, 1) << "the old atom was deleted first";
        process.PressHotKey(core::kModControl, kVkQ);
        process.AdvanceClock(300);
        EXPECT_TRUE(Overlay().Visible()) << "the new registration works";
    });
}

TEST_F(ProgramTest, SaveRegistersANewlyTypedHotKey) {
    Run([&] {
        // A key typed with Shift alone gets Ctrl added.
        ASSERT_TRUE(Window().TypeHotKey(Form2->HotKey2, kVkA, true, false, false));
        EXPECT_EQ(Form2->HotKey2->Value(), 0x6041);
        EXPECT_NE(Window().Find("Ctrl + Shift + A"), nullptr);
        ASSERT_TRUE(Save());
        auto hotkeys = process.RegisteredHotKeys();
        ASSERT_EQ(hotkeys.size(), 1u);
        EXPECT_EQ(hotkeys[0].second, std::make_pair(kModControl | kModShift, kVkA));
        EXPECT_EQ(desktop.AtomName(Form2->CaptureHotKeyId), "HotKeyManagerHotKey24641");
        EXPECT_EQ(desktop.atoms.count("HotKeyManagerHotKey16465"), 0u);

        process.PressHotKey(kModControl, kVkQ);
        process.AdvanceClock(300);
        EXPECT_FALSE(Overlay().Visible()) << "the old combination is free again";
        process.PressHotKey(kModControl | kModShift, kVkA);
        process.AdvanceClock(300);
        EXPECT_TRUE(Overlay().Visible());
    });
    EXPECT_NE(StoredSettings().find("=24641\r\n"), std::string::npos);
}

TEST_F(ProgramTest, HotKeyHeldElsewhereLeavesNothingRegisteredUntilTheNextStart) {
    desktop.HoldHotKeyElsewhere(kModControl, kVkQ);
    Run([&] {
        EXPECT_EQ(Form2->CaptureHotKeyId, 0);
        EXPECT_TRUE(process.RegisteredHotKeys().empty());
        EXPECT_TRUE(desktop.atoms.empty()) << "the atom is deleted again";
        EXPECT_TRUE(process.messageBoxes.empty());

        Window().TypeHotKey(Form2->HotKey2, kVkA, false, true, true);
        ASSERT_TRUE(Save());
        EXPECT_EQ(Form2->CaptureHotKeyId, 0);
        EXPECT_TRUE(process.RegisteredHotKeys().empty());
        process.PressHotKey(kModControl | kModAlt, kVkA);
        process.AdvanceClock(300);
        EXPECT_FALSE(Overlay().Visible());
    });
    // The stored hotkey takes effect at the next start.
    HeadlessPlatform next(desktop);
    next.Run([&] { EXPECT_EQ(next.RegisteredHotKeys().size(), 1u); });
}

TEST_F(ProgramTest, SaveWhoseNewHotKeyIsHeldElsewhereDropsTheOldOne) {
    desktop.HoldHotKeyElsewhere(kModControl, kVkA);
    Run([&] {
        Window().TypeHotKey(Form2->HotKey2, kVkA, false, true, false);
        ASSERT_TRUE(Save());
        EXPECT_EQ(Form2->CaptureHotKeyId, 0);
        EXPECT_TRUE(process.RegisteredHotKeys().empty());
        EXPECT_TRUE(process.messageBoxes.empty());
    });
}

TEST_F(ProgramTest, SaveWithAnEmptyHotKeyBoxAsksForKeyZero) {
    StoreSettings(SettingsFileText("50", 0, 0));
    Run([&] {
        // Stored 0 at start registered key 0; an empty box saved again does the same.
        ASSERT_TRUE(Save());
        EXPECT_EQ(desktop.AtomName(Form2->CaptureHotKeyId), "HotKeyManagerHotKey0");
        EXPECT_EQ(process.RegisteredHotKeys()[0].second, std::make_pair(0u, uint8_t{0}));
    });
}

TEST_F(ProgramTest, HotKeyWhileVisibleOnlyFillsTheFocusedHotKeyBox) {
    Run([&] {
        Window().FocusOn(Form2->Edit1);
        process.PressHotKey(kModControl, kVkQ);
        process.AdvanceClock(1000);
        EXPECT_FALSE(Overlay().Visible());
        EXPECT_EQ(process.ForegroundRequests(), 0);

        // Ctrl+Q into the focused box: shown as it is.
        Window().TypeHotKey(Form2->HotKey2, kVkF1, false, true, false);
        process.PressHotKey(kModControl, kVkQ);
        EXPECT_EQ(Form2->HotKey2->Value(), 16465);
        process.AdvanceClock(1000);
        EXPECT_FALSE(Overlay().Visible());
        EXPECT_TRUE(process.messageBoxes.empty());
    });
}

TEST_F(ProgramTest, HotKeyWhileHiddenCapturesEvenWithABadQuality) {
    Run([&] {
        TypeQuality("abc");
        Window().Minimize();
        process.PressHotKey(kModControl, kVkQ);
        EXPECT_EQ(process.ForegroundRequests(), 1);
        process.AdvanceClock(300);
        EXPECT_TRUE(Overlay().Visible());
        EXPECT_TRUE(process.messageBoxes.empty());
    });
}

TEST_F(ProgramTest, UnknownHotKeyIdIsAnswered) {
    Run([&] {
        Window().Minimize();
        Form2->HotKeyManager1HotKeyPressed(16465, static_cast<uint16_t>(Form2->CaptureHotKeyId + 1));
        EXPECT_EQ(Boxes(), (std::vector<std::string>{"信息框|未知的热键!|64"}));
        process.AdvanceClock(300);
        EXPECT_FALSE(Overlay().Visible());
    });
}

}  // namespace
}  // namespace kwp::testing
