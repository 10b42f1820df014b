// Start-up, the single-instance guard, the main window as the user first sees
// it, the tray icon and the date gate.
#include "program_fixture.h"

#include <future>
#include <thread>

#include "core/hotkey_value.h"

namespace kwp::testing {
namespace {

constexpr const char* kTitle = "Pixnab简体中文免费版V3.02.29";
constexpr const char* kRefusal = "截图工具已经打开了,隐藏在任务栏的右边!";

TEST_F(ProgramTest, FirstRunWithoutSettingsShowsDefaultsAndRegistersCtrlQ) {
    int exitCode = Run([&] {
        EXPECT_TRUE(Window().Visible());
        EXPECT_EQ(Window().Caption(), kTitle);
        EXPECT_EQ(process.ApplicationTitle(), kTitle);
        EXPECT_TRUE(Window().SkinActive());
        EXPECT_EQ(Form2->Edit1->Text(), "50");
        EXPECT_EQ(Form2->HotKey2->Value(), 16465);
        EXPECT_EQ(Window().Find("Ctrl + Q")->kind, headless::ControlKind::HotKeyBox);
        EXPECT_FALSE(Form2->CheckBox1->Checked());
        // Centred on the 640 x 480 screen, at full size.
        EXPECT_EQ(Window().ClientWidth(), 375);
        EXPECT_EQ(Window().ClientHeight(), 298);
        EXPECT_EQ(Window().Left(), (640 - 375 - 6) / 2);
        EXPECT_EQ(Window().Top(), (480 - 298 - 29) / 2);

        auto hotkeys = process.RegisteredHotKeys();
        ASSERT_EQ(hotkeys.size(), 1u);
        EXPECT_EQ(hotkeys[0].second, std::make_pair(core::kModControl, kVkQ));
        EXPECT_EQ(desktop.AtomName(hotkeys[0].first), "HotKeyManagerHotKey16465");
        EXPECT_EQ(Form2->CaptureHotKeyId, hotkeys[0].first);

        // The overlay exists, hidden and idle.
        EXPECT_FALSE(Overlay().Visible());
        process.AdvanceClock(1000);
        EXPECT_FALSE(Overlay().Visible());
        EXPECT_TRUE(Window().PressCloseButton());
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(process.QuitRequested());
    EXPECT_FALSE(SettingsExist()) << "nothing is written at start or at exit";
    EXPECT_TRUE(process.messageBoxes.empty());
    // Shut-down gives up the hotkey, the atom, the tray icon and the guard.
    EXPECT_TRUE(desktop.hotkeys.empty());
    EXPECT_TRUE(desktop.atoms.empty());
    EXPECT_EQ(process.Tray(), nullptr);
    EXPECT_TRUE(desktop.lockHolders.empty());
}

TEST_F(ProgramTest, MainWindowLayoutAsDesigned) {
    Run([&] {
        struct Expected {
            std::string text;
            headless::ControlKind kind;
            platform::Bounds bounds;
            bool onPanel;
        };
        using K = headless::ControlKind;
        const Expected controls[] = {
            {"截图热键", K::Label, {3, 8, 65, 13}, true},
            {"保存&Y", K::SpeedButton, {160, 59, 68, 30}, true},
            {"退出&Q", K::SpeedButton, {235, 59, 70, 30}, true},
            {"图片质量", K::Label, {168, 8, 65, 13}, true},
            {"截图&N", K::SpeedButton, {75, 59, 70, 30}, true},
            {"作者主页", K::SpeedButton, {266, 31, 105, 23}, true},
            {"Ctrl + Q", K::HotKeyBox, {62, 4, 99, 20}, true},
            {"50", K::Edit, {232, 3, 49, 23}, true},
            {"启动时直接隐藏在任务栏中", K::CheckBox, {32, 36, 193, 17}, true},
        };
        for (const auto& want : controls) {
            SCOPED_TRACE(want.text);
            auto* control = Window().Find(want.text);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(control->kind, want.kind);
            EXPECT_EQ(control->bounds, want.bounds);
            EXPECT_EQ(control->parent != nullptr, want.onPanel);
        }
        EXPECT_EQ(Window().Find("截图热键")->color, platform::TextColor::Red);
        EXPECT_EQ(Window().Find("保存&Y")->color, platform::TextColor::Blue);
        EXPECT_EQ(Window().Find("保存&Y")->picture, platform::Resource::GlyphSave);

        const std::string memo = Window().FocusOrder().front()->text;
        EXPECT_EQ(memo.substr(0, memo.find("\r\n")), "1、此为截取屏幕任意区域的截图工具,图片保存为JPG格式。");
        EXPECT_EQ(memo.substr(memo.rfind("\r\n") + 2), "50左右。");

        // Focus order: memo, then in the panel quality box, hotkey box, check box.
        std::vector<headless::ControlKind> order;
        for (auto* c : Window().FocusOrder()) order.push_back(c->kind);
        EXPECT_EQ(order, (std::vector<K>{K::Memo, K::Edit, K::HotKeyBox, K::CheckBox}));
    });
}

TEST_F(ProgramTest, StartHiddenShowsNothingButTheTray) {
    StoreSettings(SettingsFileText("50", 16465, 1));
    Run([&] {
        EXPECT_FALSE(Window().Visible());
        EXPECT_TRUE(Form2->CheckBox1->Checked());
        ASSERT_NE(process.Tray(), nullptr);
        EXPECT_EQ(process.Tray()->Hint(), kTitle);
        EXPECT_EQ(process.Tray()->Icon(), platform::Resource::TrayIcon);
        EXPECT_EQ(process.Tray()->MenuCaptions(), (std::vector<std::string>{"打开(&O)", "退出(&Q)"}));
        EXPECT_EQ(process.RegisteredHotKeys().size(), 1u);

        EXPECT_TRUE(process.Tray()->LeftClick());
        EXPECT_TRUE(Window().Visible());
        EXPECT_EQ(process.ForegroundWindow(), &Window());
        // Shown for the first time now: centred.
        EXPECT_EQ(Window().Left(), (640 - 375 - 6) / 2);
    });
}

TEST_F(ProgramTest, TrayMenuOpensAndExits) {
    StoreSettings(SettingsFileText("50", 16465, 1));
    Run([&] {
        EXPECT_TRUE(process.Tray()->ChooseFromMenu("打开(&O)"));
        EXPECT_TRUE(Window().Visible());
        EXPECT_TRUE(Window().Minimize());
        EXPECT_FALSE(Window().Visible());
        Form2->CheckBox1->SetChecked(false);  // unsaved changes are lost without a prompt
        EXPECT_TRUE(process.Tray()->ChooseFromMenu("退出(&Q)"));
        EXPECT_FALSE(process.LoopRunning());
    });
    EXPECT_TRUE(process.QuitRequested());
    EXPECT_EQ(StoredSettings(), SettingsFileText("50", 16465, 1));
}

TEST_F(ProgramTest, SecondCopyIsRefusedAndLeavesTheFirstAlone) {
    StoreSettings(SettingsFileText("50", 16465, 1));
    const std::string before = StoredSettings();
    Run([&] {
        HeadlessPlatform second(desktop);
        EXPECT_EQ(second.Run([] { ADD_FAILURE() << "a refused copy runs no loop"; }), 0);
        EXPECT_EQ(second.messageBoxes.size(), 1u);
        EXPECT_EQ(second.messageBoxes[0].text, kRefusal);
        EXPECT_EQ(second.messageBoxes[0].caption, "信息框");
        EXPECT_EQ(second.messageBoxes[0].flags, 0x40u);
        EXPECT_TRUE(second.Windows().empty());
        EXPECT_EQ(second.Tray(), nullptr);
        EXPECT_TRUE(second.RegisteredHotKeys().empty());
        // The first copy is untouched: still hidden, hotkey still its own.
        EXPECT_FALSE(Window().Visible());
        EXPECT_EQ(process.RegisteredHotKeys().size(), 1u);
    });
    EXPECT_EQ(StoredSettings(), before);
}

TEST_F(ProgramTest, CopyStartedWhileARefusedCopyShowsItsBoxIsRefusedEvenAfterTheFirstEnded) {
    // The refused copy is a process of its own: it runs on its own thread and
    // keeps its box up until told to dismiss it. The threads take turns.
    HeadlessPlatform refused(desktop);
    std::promise<void> boxShown, dismiss;
    std::shared_future<void> dismissed = dismiss.get_future().share();
    refused.onMessageBox = [&](const headless::MessageBoxRecord&) {
        boxShown.set_value();
        dismissed.wait();
    };
    std::thread refusedCopy;
    Run([&] {
        refusedCopy = std::thread([&] { refused.Run(); });
        boxShown.get_future().wait();
        Window().PressCloseButton();
    });
    // The first copy has ended; the refused copy's box is still up.
    HeadlessPlatform third(desktop);
    EXPECT_EQ(third.Run([] { ADD_FAILURE() << "the third copy must be refused"; }), 0);
    ASSERT_EQ(third.messageBoxes.size(), 1u);
    EXPECT_EQ(third.messageBoxes[0].text, kRefusal);

    dismiss.set_value();
    refusedCopy.join();

    // With every holder gone, the next start is a first copy again.
    HeadlessPlatform next(desktop);
    bool ran = false;
    next.Run([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(next.messageBoxes.empty());
}

TEST_F(ProgramTest, DateGateShortensTheWindowUpTo7May2013) {
    struct Case {
        core::Date today;
        int clientHeight;
    };
    for (const Case& c : {Case{{2013, 5, 7}, 235}, Case{{2001, 1, 1}, 235}, Case{{2013, 5, 8}, 298},
                          Case{{2026, 12, 11}, 298}}) {
        HeadlessSystem system(640, 480);
        system.today = c.today;
        HeadlessPlatform run(system);
        run.Run([&] {
            SCOPED_TRACE(std::to_string(c.today.year) + "-" + std::to_string(c.today.month) + "-" +
                         std::to_string(c.today.day));
            auto& window = *run.MainWindow();
            EXPECT_EQ(window.ClientHeight(), c.clientHeight);
            // Centred at full height first; the top edge stays when shortened.
            EXPECT_EQ(window.Top(), (480 - 298 - 29) / 2);
            EXPECT_EQ(window.ClickBanner(), c.clientHeight == 298);
            EXPECT_EQ(system.shellOpened.size(), c.clientHeight == 298 ? 1u : 0u);
        });
    }
}

TEST_F(ProgramTest, OverlayClosingNeverEndsTheProgram) {
    Run([&] {
        ASSERT_TRUE(Capture());
        Tick();
        EXPECT_TRUE(Overlay().CloseByWindowSystem());
        EXPECT_TRUE(process.LoopRunning());
        EXPECT_TRUE(process.Tray()->LeftClick());
        EXPECT_TRUE(Window().Visible());
    });
    EXPECT_FALSE(process.QuitRequested());
}

}  // namespace
}  // namespace kwp::testing
