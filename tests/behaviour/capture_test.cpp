// A capture from the frozen screen to the written file: crosshair, outline,
// the region on the clipboard, the save dialog and the JPEG.
#include "program_fixture.h"

#include "core/bmp.h"
#include "core/hotkey_value.h"
#include "core/jpeg.h"

namespace kwp::testing {
namespace {

constexpr const char* kPath = "C:\\shots\\region.jpg";
constexpr const char* kTitle = "Pixnab简体中文免费版V3.02.29";

core::Bitmap Inverted(core::Bitmap picture, const std::vector<std::pair<int, int>>& pixels) {
    for (auto [x, y] : pixels) picture.SetPixel(x, y, ~picture.Pixel(x, y) & 0xFFFFFF);
    return picture;
}

// The screen with the crosshair at (x, y): its column and row inverted, the
// crossing pixel inverted twice.
core::Bitmap WithCrosshair(const core::Bitmap& screen, int x, int y) {
    std::vector<std::pair<int, int>> pixels;
    for (int row = 0; row < screen.Height(); ++row) pixels.push_back({x, row});
    for (int col = 0; col < screen.Width(); ++col) pixels.push_back({col, y});
    return Inverted(screen, pixels);
}

class CaptureTest : public ProgramTest {
protected:
    core::Bytes ExpectedJpeg(const core::Rect& region, int quality = 50) {
        return core::EncodeJpeg(desktop.screen.Crop(region), quality);
    }
};

TEST_F(CaptureTest, CrosshairFollowsThePointerAndLeavesNothingBehind) {
    Run([&] {
        ASSERT_TRUE(Capture());
        Tick();
        EXPECT_EQ(*Overlay().Picture(), desktop.screen) << "nothing drawn before the first move";
        Overlay().MoveMouse(100, 50);
        EXPECT_EQ(*Overlay().Picture(), WithCrosshair(desktop.screen, 100, 50));
        EXPECT_EQ(Overlay().TakeRepainted(), (core::Rect{0, 0, 640, 480}));
        Overlay().MoveMouse(100, 50);  // the same place: no net change
        EXPECT_EQ(*Overlay().Picture(), WithCrosshair(desktop.screen, 100, 50));
        Overlay().MoveMouse(639, 0);
        EXPECT_EQ(*Overlay().Picture(), WithCrosshair(desktop.screen, 639, 0));
        // Pointer positions off the picture (a button held outside) are clipped.
        Overlay().MoveMouse(-20, 900);
        Overlay().MoveMouse(5, 6);
        EXPECT_EQ(*Overlay().Picture(), WithCrosshair(desktop.screen, 5, 6));
        // The first click erases the crosshair where it was drawn, not at the press.
        Overlay().Press(MouseButton::Left, 30, 40);
        EXPECT_EQ(*Overlay().Picture(), desktop.screen);
    });
}

TEST_F(CaptureTest, OutlineFollowsThePointerAndRepaintsOnlyItsBox) {
    Run([&] {
        ASSERT_TRUE(Capture());
        Tick();
        Overlay().Press(MouseButton::Left, 10, 20);  // before any move: nothing to erase
        EXPECT_EQ(*Overlay().Picture(), desktop.screen);
        Overlay().TakeRepainted();
        Overlay().MoveMouse(13, 23);
        std::vector<std::pair<int, int>> outline;
        for (int x = 10; x < 13; ++x) outline.insert(outline.end(), {{x, 20}, {x, 22}});
        outline.push_back({10, 21});
        outline.push_back({12, 21});
        EXPECT_EQ(*Overlay().Picture(), Inverted(desktop.screen, outline));
        EXPECT_EQ(Overlay().TakeRepainted(), (core::Rect{10, 20, 13, 23}));
        Overlay().MoveMouse(5, 5);  // up and to the left of the start
        Overlay().MoveMouse(10, 20);
        EXPECT_EQ(*Overlay().Picture(), desktop.screen) << "a box from the start to itself marks nothing";
    });
}

TEST_F(CaptureTest, RegionIsTheSameWhateverCornerComesFirst) {
    const core::Rect region{100, 50, 160, 90};
    const std::pair<int, int> corners[4][2] = {
        {{100, 50}, {160, 90}}, {{160, 90}, {100, 50}}, {{160, 50}, {100, 90}}, {{100, 90}, {160, 50}}};
    for (const auto& corner : corners) {
        HeadlessSystem system(640, 480);
        HeadlessPlatform run(system);
        run.saveDialogAnswers.push_back(kPath);
        run.Run([&] {
            run.MainWindow()->ClickButton("截图&N");
            run.AdvanceClock(300);
            auto& overlay = *run.Overlay();
            overlay.MoveMouse(corner[0].first, corner[0].second);
            overlay.Press(MouseButton::Left, corner[0].first, corner[0].second);
            overlay.MoveMouse(300, 300);
            overlay.MoveMouse(corner[1].first, corner[1].second);
            overlay.Press(MouseButton::Right, corner[1].first, corner[1].second);
            EXPECT_FALSE(overlay.Visible());
            EXPECT_FALSE(run.MainWindow()->Visible()) << "the main window stays in the tray";
            EXPECT_EQ(*overlay.Picture(), system.screen.Crop(region));
        });
        SCOPED_TRACE(std::to_string(corner[0].first) + "," + std::to_string(corner[0].second));
        ASSERT_TRUE(system.clipboard.has_value());
        EXPECT_EQ(*system.clipboard, system.screen.Crop(region));
        EXPECT_EQ(system.files.at(kPath), core::EncodeJpeg(system.screen.Crop(region), 50));
        EXPECT_TRUE(run.messageBoxes.empty());
        ASSERT_EQ(run.saveDialogsShown.size(), 1u);
        EXPECT_EQ(run.saveDialogsShown[0].filter, "JPEG Image File (*.jpg)|*.jpg");
        EXPECT_EQ(run.saveDialogsShown[0].defaultExt, "jpg");
        EXPECT_EQ(run.saveDialogsShown[0].fileName, "");
    }
}

TEST_F(CaptureTest, ThinAndEmptyRegions) {
    struct Case {
        int x1, y1, x2, y2;
        size_t minimumFileSize;  // 0: the file is empty
    };
    for (const Case& c : {Case{10, 10, 11, 30, 100}, Case{10, 10, 40, 11, 100}, Case{10, 10, 10, 30, 0},
                          Case{10, 10, 40, 10, 0}, Case{10, 10, 10, 10, 0}}) {
        HeadlessSystem system(640, 480);
        system.clipboard = core::Bitmap(1, 1);  // something from before
        HeadlessPlatform run(system);
        run.saveDialogAnswers.push_back(kPath);
        run.Run([&] {
            run.MainWindow()->ClickButton("截图&N");
            run.AdvanceClock(300);
            auto& overlay = *run.Overlay();
            overlay.Press(MouseButton::Middle, c.x1, c.y1);
            overlay.Press(MouseButton::Left, c.x2, c.y2);  // no move in between
        });
        SCOPED_TRACE(std::to_string(c.x2) + "," + std::to_string(c.y2));
        EXPECT_EQ(run.saveDialogsShown.size(), 1u) << "the dialog opens for an empty region too";
        EXPECT_TRUE(run.messageBoxes.empty());
        const core::Rect region{std::min(c.x1, c.x2), std::min(c.y1, c.y2), std::max(c.x1, c.x2),
                                std::max(c.y1, c.y2)};
        if (c.minimumFileSize == 0) {
            EXPECT_TRUE(system.files.at(kPath).empty());
            EXPECT_FALSE(system.clipboard.has_value()) << "emptied, nothing usable on it";
        } else {
            EXPECT_EQ(system.files.at(kPath), core::EncodeJpeg(system.screen.Crop(region), 50));
            EXPECT_EQ(system.clipboard->Width(), region.Width());
            EXPECT_EQ(system.clipboard->Height(), region.Height());
        }
    }
}

TEST_F(CaptureTest, CancelKeepsTheRegionOnTheClipboardAndWritesNothing) {
    desktop.files[kPath] = Bytes("old");
    Run([&] {
        CaptureRegion(1, 2, 30, 40, std::nullopt);
        EXPECT_FALSE(Overlay().Visible());
    });
    EXPECT_EQ(*desktop.clipboard, desktop.screen.Crop({1, 2, 30, 40}));
    EXPECT_EQ(desktop.files.at(kPath), Bytes("old"));
}

TEST_F(CaptureTest, NextDialogOffersThePreviousPathAndOverwritesWithoutAsking) {
    Run([&] {
        CaptureRegion(0, 0, 20, 20, kPath);
        process.PressHotKey(core::kModControl, kVkQ);
        Tick();
        process.saveDialogAnswers.push_back(kPath);
        SelectRegion(50, 60, 70, 90);
    });
    ASSERT_EQ(process.saveDialogsShown.size(), 2u);
    EXPECT_EQ(process.saveDialogsShown[1].fileName, kPath);
    EXPECT_EQ(desktop.files.at(kPath), core::EncodeJpeg(desktop.screen.Crop({50, 60, 70, 90}), 50));
    EXPECT_TRUE(process.messageBoxes.empty());
}

TEST_F(CaptureTest, QualityIsTheBoxTextAtConversionTime) {
    Run([&] {
        TypeQuality("$4B");  // typed, never saved
        CaptureRegion(0, 0, 33, 17, kPath);
    });
    EXPECT_EQ(desktop.files.at(kPath), ExpectedJpeg({0, 0, 33, 17}, 75));
    EXPECT_FALSE(SettingsExist());
}

TEST_F(CaptureTest, ClipboardBusyLeavesTheOverlayShowingTheRegion) {
    desktop.clipboardBusy = true;
    Run([&] {
        CaptureRegion(10, 10, 50, 30, kPath);
        EXPECT_EQ(Boxes(), (std::vector<std::string>{std::string(kTitle) + "|Cannot open clipboard.|16"}));
        EXPECT_TRUE(Overlay().Visible());
        EXPECT_EQ(*Overlay().Picture(), desktop.screen.Crop({10, 10, 50, 30}));
        EXPECT_TRUE(process.saveDialogsShown.empty());
        // Further clicks start a new selection on that picture.
        desktop.clipboardBusy = false;
        Overlay().Press(MouseButton::Left, 0, 0);
        Overlay().Press(MouseButton::Left, 5, 5);
        EXPECT_FALSE(Overlay().Visible());
    });
    EXPECT_EQ(*desktop.clipboard, desktop.screen.Crop({10, 10, 50, 30}).Crop({0, 0, 5, 5}));
}

TEST_F(CaptureTest, FileThatCannotBeCreatedIsReportedAndTheOldOneKept) {
    desktop.files[kPath] = Bytes("old");
    desktop.unwritablePaths.insert(kPath);
    Run([&] {
        CaptureRegion(10, 10, 50, 30, kPath);
        EXPECT_EQ(Boxes(), (std::vector<std::string>{std::string(kTitle) + "|Cannot create file \"" + kPath +
                                                     "\". Access is denied.|16"}));
        EXPECT_FALSE(Overlay().Visible());
        EXPECT_TRUE(process.LoopRunning());
    });
    EXPECT_EQ(*desktop.clipboard, desktop.screen.Crop({10, 10, 50, 30}));
    EXPECT_EQ(desktop.files.at(kPath), Bytes("old"));
}

TEST_F(CaptureTest, HotKeyCaptureWithAQualityThatIsNotAnIntegerKeepsTheBitmapFile) {
    StoreSettings(SettingsFileText("abc", 16465, 1));
    Run([&] {
        process.PressHotKey(core::kModControl, kVkQ);
        Tick();
        process.saveDialogAnswers.push_back(kPath);
        SelectRegion(3, 4, 20, 9);
        EXPECT_EQ(Boxes(), (std::vector<std::string>{std::string(kTitle) + "|'abc' is not a valid integer value.|16"}));
        EXPECT_FALSE(Overlay().Visible());
    });
    EXPECT_EQ(desktop.files.at(kPath), core::EncodeBmp(desktop.screen.Crop({3, 4, 20, 9})));
    EXPECT_EQ(*desktop.clipboard, desktop.screen.Crop({3, 4, 20, 9}));
}

TEST_F(CaptureTest, HotKeyCaptureNamesAGbkQualityInItsOwnCharacters) {
    StoreSettings(SettingsFileText("\xCE\xE5\xCA\xAE", 16465, 1));  // 五十 in GBK
    Run([&] {
        process.PressHotKey(core::kModControl, kVkQ);
        Tick();
        process.saveDialogAnswers.push_back(kPath);
        SelectRegion(3, 4, 20, 9);
        EXPECT_EQ(Boxes(), (std::vector<std::string>{std::string(kTitle) + "|'五十' is not a valid integer value.|16"}));
    });
    EXPECT_EQ(desktop.files.at(kPath), core::EncodeBmp(desktop.screen.Crop({3, 4, 20, 9})));
}

TEST_F(CaptureTest, BitmapFileThatCannotBeReadBackStaysAsItIs) {
    desktop.unreadablePaths.insert(kPath);
    Run([&] { CaptureRegion(3, 4, 20, 9, kPath); });
    ASSERT_EQ(process.messageBoxes.size(), 1u);
    EXPECT_EQ(process.messageBoxes[0].text.rfind(std::string("Cannot open file \"") + kPath + "\". ", 0), 0u);
    EXPECT_EQ(desktop.files.at(kPath), core::EncodeBmp(desktop.screen.Crop({3, 4, 20, 9})));
}

TEST_F(CaptureTest, OutOfRangeQualityKeepsItsLowEightBits) {
    StoreSettings(SettingsFileText("300", 16465, 1));  // 300 & 0xFF = 44
    Run([&] {
        process.PressHotKey(core::kModControl, kVkQ);
        Tick();
        process.saveDialogAnswers.push_back(kPath);
        SelectRegion(0, 0, 16, 16);
    });
    EXPECT_EQ(desktop.files.at(kPath), ExpectedJpeg({0, 0, 16, 16}, 44));
}

TEST_F(CaptureTest, RestartWhileShowingRetakesTheOverlaysOwnPicture) {
    StoreSettings(SettingsFileText("50", 16465, 1));
    Run([&] {
        process.PressHotKey(core::kModControl, kVkQ);
        Tick();
        Overlay().MoveMouse(7, 8);
        process.PressHotKey(core::kModControl, kVkQ);
        Tick();
        // The crosshair on screen became part of the new snapshot; the new
        // crosshair starts from nothing.
        EXPECT_EQ(*Overlay().Picture(), WithCrosshair(desktop.screen, 7, 8));
        Overlay().MoveMouse(9, 9);
        EXPECT_EQ(*Overlay().Picture(), WithCrosshair(WithCrosshair(desktop.screen, 7, 8), 9, 9));

        // A restart during a drag keeps the drag: the next press is the second click.
        Overlay().Press(MouseButton::Left, 10, 10);
        process.PressHotKey(core::kModControl, kVkQ);
        Tick();
        Overlay().Press(MouseButton::Left, 20, 20);
        EXPECT_FALSE(Overlay().Visible());
        EXPECT_EQ(process.saveDialogsShown.size(), 1u);
    });
}

TEST_F(CaptureTest, OverlayClosedByTheWindowSystemEndsTheDrag) {
    StoreSettings(SettingsFileText("50", 16465, 1));
    Run([&] {
        process.PressHotKey(core::kModControl, kVkQ);
        Tick();
        Overlay().Press(MouseButton::Left, 10, 10);
        Overlay().MoveMouse(30, 30);
        ASSERT_TRUE(Overlay().CloseByWindowSystem());
        process.PressHotKey(core::kModControl, kVkQ);
        Tick();
        // A fresh start: the first press is a first click, and the snapshot
        // (taken of the screen, not of the hidden overlay) has no old outline.
        Overlay().Press(MouseButton::Left, 50, 50);
        EXPECT_TRUE(Overlay().Visible());
        EXPECT_TRUE(process.saveDialogsShown.empty());
        EXPECT_EQ(*Overlay().Picture(), desktop.screen);
    });
}

TEST_F(CaptureTest, EscCancelsTheCaptureAndStoresNothing) {
    constexpr uint8_t kVkEscape = 0x1B;
    // Esc with the crosshair only, and half-way through a selection.
    for (bool dragging : {false, true}) {
        SCOPED_TRACE(dragging ? "dragging" : "crosshair");
        HeadlessSystem system(640, 480);
        HeadlessPlatform run(system);
        system.files[system.SettingsPath("kwpshot.ini")] = Bytes(SettingsFileText("50", 16465, 1));
        run.Run([&] {
            run.PressHotKey(core::kModControl, kVkQ);
            run.AdvanceClock(300);
            auto& overlay = *run.Overlay();
            overlay.MoveMouse(10, 10);
            if (dragging) {
                overlay.Press(MouseButton::Left, 10, 10);
                overlay.MoveMouse(30, 30);
            }
            EXPECT_TRUE(overlay.PressKey('A')) << "another key";
            EXPECT_TRUE(overlay.Visible());
            ASSERT_TRUE(overlay.PressKey(kVkEscape));
            EXPECT_FALSE(overlay.Visible());
            EXPECT_FALSE(Dragging);
            EXPECT_EQ(system.clipboardWrites, 0);
            EXPECT_TRUE(run.saveDialogsShown.empty());
            EXPECT_TRUE(run.messageBoxes.empty());
            EXPECT_EQ(system.files.size(), 1u) << "the settings file only";

            // The next capture starts afresh: its first press is a first click.
            run.PressHotKey(core::kModControl, kVkQ);
            run.AdvanceClock(300);
            EXPECT_EQ(*overlay.Picture(), system.screen);
            overlay.Press(MouseButton::Left, 50, 50);
            EXPECT_TRUE(overlay.Visible());
            EXPECT_TRUE(run.saveDialogsShown.empty());
        });
    }
}

}  // namespace
}  // namespace kwp::testing
