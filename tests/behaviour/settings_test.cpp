// The three settings: read through the boxes at start, written back by Save.
#include "program_fixture.h"

#include "core/hotkey_value.h"

namespace kwp::testing {
namespace {

const std::string kQualityLine = "\xBD\xD8\xCD\xBC\xD6\xCA\xC1\xBF=";
const std::string kHotKeyLine = "\xBD\xD8\xCD\xBC\xC8\xC8\xBC\xFC=";
const std::string kHideLine = "\xD2\xFE\xB2\xD8=";

struct StoredCase {
    const char* name;
    std::string file;        // the settings file at start
    std::string quality;     // the quality box then
    uint16_t hotkey;         // the hotkey box then
    bool hidden;             // check box ticked, window hidden
};

std::string File(const std::string& quality, const std::string& hotkey, const std::string& hide) {
    return "[jtzl]\r\n" + kQualityLine + quality + "\r\n[HotKey2]\r\n" + kHotKeyLine + hotkey +
           "\r\n[yincang]\r\n" + kHideLine + hide + "\r\n";
}

class StoredSettingsTest : public ProgramTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredSettingsTest, AreReadThroughTheBoxesAndWrittenBackBySave) {
    const StoredCase& c = GetParam();
    StoreSettings(c.file);
    Run([&] {
        EXPECT_EQ(Form2->Edit1->Text(), c.quality);
        EXPECT_EQ(Form2->HotKey2->Value(), c.hotkey);
        EXPECT_EQ(Form2->CheckBox1->Checked(), c.hidden);
        EXPECT_EQ(Window().Visible(), !c.hidden);
        // What the box keeps is what is registered.
        auto hotkeys = process.RegisteredHotKeys();
        ASSERT_EQ(hotkeys.size(), 1u);
        EXPECT_EQ(hotkeys[0].second,
                  std::make_pair(core::HotKeySystemModifiers(c.hotkey), core::HotKeyVirtualKey(c.hotkey)));

        if (!Window().Visible()) process.Tray()->LeftClick();
        if (c.quality != "50" && c.quality != "75") TypeQuality("50");
        ASSERT_TRUE(Save());
        EXPECT_TRUE(process.messageBoxes.empty());
    });
    const std::string quality = (c.quality == "50" || c.quality == "75") ? c.quality : "50";
    std::string expected = File(quality, std::to_string(c.hotkey), c.hidden ? "1" : "0");
    // Section names keep the case the file had.
    for (auto [designed, stored] : {std::pair{"[jtzl]", "[JTZL]"}, {"[HotKey2]", "[hotkey2]"}, {"[yincang]", "[YinCang]"}})
        if (c.file.find(stored) != std::string::npos) expected.replace(expected.find(designed), std::string(designed).size(), stored);
    EXPECT_EQ(StoredSettings(), expected);
}

const std::string kLong(3000, '7');

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, StoredSettingsTest,
    ::testing::Values(
        StoredCase{"Defaults", File("50", "16465", "0"), "50", 16465, false},
        StoredCase{"QuotedQuality", File("\"75\"", "16465", "0"), "75", 16465, false},
        StoredCase{"HexHotKey", File("50", "0x4051", "0"), "50", 16465, false},
        StoredCase{"DollarHotKey", File("50", "$4051", "0"), "50", 16465, false},
        StoredCase{"XHotKey", File("50", "x4051", "0"), "50", 16465, false},
        StoredCase{"SpacedHotKey", File("50", "   16465", "0"), "50", 16465, false},
        StoredCase{"HotKeyAbove16Bits", File("50", "81985", "0"), "50", 16449, false},
        StoredCase{"HotKeyBits8To12Lost", File("50", "4177", "0"), "50", 81, false},
        StoredCase{"HotKeyMinusOne", File("50", "-1", "0"), "50", 57599, false},
        StoredCase{"HotKeyAllOnes", File("50", "$FFFFFFFF", "0"), "50", 57599, false},
        StoredCase{"HotKey70000IsF1", File("50", "70000", "0"), "50", 0x70, false},
        StoredCase{"HotKeyOutOfRange", File("50", "2147483648", "0"), "50", 16465, false},
        StoredCase{"HotKeyFraction", File("50", "1.5", "0"), "50", 16465, false},
        StoredCase{"HotKeyLetter", File("50", "Q", "0"), "50", 16465, false},
        StoredCase{"HideTwo", File("50", "16465", "2"), "50", 16465, true},
        StoredCase{"HideMinusOne", File("50", "16465", "-1"), "50", 16465, true},
        StoredCase{"HideHex", File("50", "16465", "0x10"), "50", 16465, true},
        StoredCase{"HideYes", File("50", "16465", "yes"), "50", 16465, false},
        StoredCase{"SectionNamesIgnoreCase", "[JTZL]\r\n" + kQualityLine + "75\r\n[hotkey2]\r\n" + kHotKeyLine +
                                                 "16449\r\n[YinCang]\r\n" + kHideLine + "1\r\n",
                   "75", 16449, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramTest, QualityTextsAreLoadedUnchecked) {
    struct Case {
        std::string stored, shown;
    };
    for (const Case& c : {Case{"", ""}, Case{"abc", "abc"}, Case{kLong, kLong.substr(0, 2047)}}) {
        HeadlessSystem system(640, 480);
        system.files[system.SettingsPath("kwpshot.ini")] = Bytes(File(c.stored, "16465", "0"));
        HeadlessPlatform run(system);
        run.Run([&] { EXPECT_EQ(Form2->Edit1->Text(), c.shown); });
        EXPECT_TRUE(run.messageBoxes.empty());
    }
}

TEST_F(ProgramTest, QualityValuesAreGbkTextInTheFile) {
    struct Case {
        std::string stored, shown;
    };
    // Bytes that are not GBK show as one U+FFFD each and never stop the start.
    for (const Case& c : {Case{"\xCE\xE5\xCA\xAE", "五十"}, Case{"\x80", "€"}, Case{"5\xCE", "5\uFFFD"},
                          Case{"\xFF" "50", "\uFFFD" "50"}, Case{"\xA1\x20" "7", "\uFFFD 7"}}) {
        HeadlessSystem system(640, 480);
        system.files[system.SettingsPath("kwpshot.ini")] = Bytes(File(c.stored, "16465", "0"));
        HeadlessPlatform run(system);
        run.Run([&] { EXPECT_EQ(Form2->Edit1->Text(), c.shown); });
        EXPECT_TRUE(run.messageBoxes.empty());
    }
}

TEST_F(ProgramTest, StoredZeroHotKeyShowsAnEmptyBoxAndRegistersKeyZero) {
    StoreSettings(File("50", "0", "0"));
    Run([&] {
        EXPECT_EQ(Form2->HotKey2->Value(), 0);
        EXPECT_EQ(Window().Find("Ctrl + Q"), nullptr);
        EXPECT_EQ(desktop.AtomName(Form2->CaptureHotKeyId), "HotKeyManagerHotKey0");
    });
}

TEST_F(ProgramTest, FirstSaveCreatesTheFileWithThreeSectionsInOrder) {
    Run([&] { ASSERT_TRUE(Save()); });
    EXPECT_EQ(StoredSettings(), File("50", "16465", "0"));
}

TEST_F(ProgramTest, SaveKeepsEveryOtherLineOfTheFile) {
    StoreSettings("; kept\r\n[other]\r\nx=1\r\n[jtzl]\r\n" + kQualityLine + "60\r\nextra=2\r\n");
    Run([&] {
        TypeQuality("$64");
        Window().ToggleCheckBox(Form2->CheckBox1);
        ASSERT_TRUE(Save());
    });
    EXPECT_EQ(StoredSettings(), "; kept\r\n[other]\r\nx=1\r\n[jtzl]\r\n" + kQualityLine + "$64\r\nextra=2\r\n" +
                                    "[HotKey2]\r\n" + kHotKeyLine + "16465\r\n[yincang]\r\n" + kHideLine + "1\r\n");
}

TEST_F(ProgramTest, FailedWriteShowsTheErrorAndStopsSave) {
    desktop.unwritablePaths.insert(SettingsPath());
    Run([&] {
        const uint16_t id = Form2->CaptureHotKeyId;
        Window().TypeHotKey(Form2->HotKey2, kVkA, false, true, false);
        ASSERT_TRUE(Save());
        EXPECT_EQ(Boxes(), (std::vector<std::string>{"Pixnab简体中文免费版V3.02.29|Unable to write to kwpshot.ini.|16"}));
        EXPECT_TRUE(Window().Visible()) << "the window stays open";
        EXPECT_EQ(Form2->CaptureHotKeyId, id) << "the hotkey is not re-registered";
        EXPECT_EQ(process.RegisteredHotKeys()[0].second, std::make_pair(core::kModControl, kVkQ));
        EXPECT_TRUE(process.LoopRunning());
    });
    EXPECT_FALSE(SettingsExist());
}

// A settings file that is there but cannot be read (a FIFO or a device in its
// place, or one too large to be ours): the defaults show, and Save fails
// rather than replace it with a file that holds only what it wrote.
TEST_F(ProgramTest, UnreadableFileGivesTheDefaultsAndSaveFails) {
    StoreSettings(File("80", "16449", "1"));
    desktop.unreadablePaths.insert(SettingsPath());
    Run([&] {
        EXPECT_EQ(Form2->Edit1->Text(), "50");
        EXPECT_EQ(Form2->HotKey2->Value(), 16465);
        EXPECT_TRUE(Window().Visible());
        ASSERT_TRUE(Save());
        EXPECT_EQ(Boxes(), (std::vector<std::string>{"Pixnab简体中文免费版V3.02.29|Unable to write to kwpshot.ini.|16"}));
        EXPECT_TRUE(Window().Visible());
    });
    EXPECT_EQ(StoredSettings(), File("80", "16449", "1"));
}

TEST_F(ProgramTest, WriteFailingHalfWayKeepsTheValuesWrittenBeforeIt) {
    StoreSettings(File("50", "16465", "0"));
    desktop.settingsWritesLeft = 1;
    Run([&] {
        TypeQuality("80");
        ASSERT_TRUE(Save());
        EXPECT_EQ(process.messageBoxes.size(), 1u);
        EXPECT_TRUE(Window().Visible());
    });
    EXPECT_EQ(StoredSettings(), File("80", "16465", "0"));
}

}  // namespace
}  // namespace kwp::testing
