// `kwpshot --capture` and `kwpshot --show`: handed to the copy that runs in
// the session, or carried out by a start that finds none.
#include "program_fixture.h"

#include "core/hotkey_value.h"

namespace kwp::testing {
namespace {

using platform::Command;

constexpr const char* kRefusal = "截图工具已经打开了,隐藏在任务栏的右边!";

// Another start in the same session, given `command`, run to its end.
struct Start {
    std::unique_ptr<HeadlessPlatform> process;
    int exitCode;
};
Start StartWith(HeadlessSystem& desktop, Command command) {
    auto process = std::make_unique<HeadlessPlatform>(desktop);
    process->startCommand = command;
    const int exitCode = process->Run([] { ADD_FAILURE() << "a start that hands its command over runs no loop"; });
    return {std::move(process), exitCode};
}

TEST_F(ProgramTest, CaptureCommandStartsACaptureInTheHiddenRunningCopyEvenWithoutAHotKey) {
    // No hotkey registered (held elsewhere, or a desktop without a shortcuts
    // service): the command still captures and never says "未知的热键!".
    desktop.HoldHotKeyElsewhere(core::kModControl, kVkQ);
    StoreSettings(SettingsFileText("abc", 16465, 1));
    Run([&] {
        ASSERT_EQ(Form2->CaptureHotKeyId, 0);
        Start second = StartWith(desktop, Command::Capture);
        EXPECT_EQ(second.exitCode, 0);
        EXPECT_TRUE(second.process->messageBoxes.empty()) << "no 'already running' box";
        EXPECT_TRUE(second.process->Windows().empty());
        EXPECT_EQ(second.process->Tray(), nullptr);

        // As the hotkey: brought forward, the quality text unchecked, the
        // snapshot after the usual delay.
        EXPECT_EQ(process.ForegroundRequests(), 1);
        process.AdvanceClock(299);
        EXPECT_FALSE(Overlay().Visible());
        process.AdvanceClock(1);
        EXPECT_TRUE(Overlay().Visible());
        EXPECT_FALSE(Window().Visible());

        // Again while the overlay shows: a new snapshot, as the hotkey does.
        EXPECT_EQ(StartWith(desktop, Command::Capture).exitCode, 0);
        Tick();
        EXPECT_TRUE(Overlay().Visible());
    });
    EXPECT_TRUE(process.messageBoxes.empty());
}

TEST_F(ProgramTest, CaptureCommandDoesNothingWhileTheMainWindowIsOpen) {
    Run([&] {
        ASSERT_TRUE(Window().Visible());
        Form2->HotKey2->SetFocus();
        EXPECT_EQ(StartWith(desktop, Command::Capture).exitCode, 0);
        process.AdvanceClock(1000);
        EXPECT_FALSE(Overlay().Visible());
        EXPECT_TRUE(Window().Visible());
        EXPECT_EQ(Form2->HotKey2->Value(), 16465) << "a command carries no key for the box";
        EXPECT_EQ(process.ForegroundRequests(), 0);
    });
    EXPECT_TRUE(process.messageBoxes.empty());
}

TEST_F(ProgramTest, ShowCommandOpensTheHiddenMainWindowAsTheTrayDoes) {
    StoreSettings(SettingsFileText("50", 16465, 1));
    Run([&] {
        ASSERT_FALSE(Window().Visible());
        Start second = StartWith(desktop, Command::Show);
        EXPECT_EQ(second.exitCode, 0);
        EXPECT_TRUE(second.process->messageBoxes.empty());
        EXPECT_TRUE(Window().Visible());
        EXPECT_EQ(process.ForegroundWindow(), &Window());
        EXPECT_EQ(Window().Left(), (640 - 375 - 6) / 2) << "centred the first time it shows";
        // Already open: it stays open and comes to the front.
        process.SetForeground(nullptr);
        EXPECT_EQ(StartWith(desktop, Command::Show).exitCode, 0);
        EXPECT_EQ(process.ForegroundWindow(), &Window());
    });
    EXPECT_TRUE(process.messageBoxes.empty());
}

TEST_F(ProgramTest, StartWithACommandAndNoCopyRunningStartsTheProgramAndCarriesItOut) {
    struct Case {
        const char* name;
        int hide;
        Command command;
        bool windowShown;
        bool overlayShown;
    };
    const Case cases[] = {
        {"capture, start hidden", 1, Command::Capture, false, true},
        // The window opens at start, and a capture request while it is open
        // starts nothing, as the hotkey.
        {"capture, start shown", 0, Command::Capture, true, false},
        {"show, start hidden", 1, Command::Show, true, false},
        {"show, start shown", 0, Command::Show, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessSystem system(640, 480);
        system.files[system.SettingsPath("kwpshot.ini")] = Bytes(SettingsFileText("50", 16465, c.hide));
        HeadlessPlatform first(system);
        first.startCommand = c.command;
        bool ran = false;
        EXPECT_EQ(first.Run([&] {
            ran = true;
            first.AdvanceClock(300);
            EXPECT_EQ(first.MainWindow()->Visible(), c.windowShown);
            EXPECT_EQ(first.Overlay()->Visible(), c.overlayShown);
            EXPECT_NE(first.Tray(), nullptr);
            EXPECT_EQ(first.RegisteredHotKeys().size(), 1u);
        }), 0);
        EXPECT_TRUE(ran);
        EXPECT_TRUE(first.messageBoxes.empty());
    }
}

TEST_F(ProgramTest, CommandThatNoRunningCopyTakesEndsInTheRefusal) {
    // Only a refused copy, still showing its box, holds the guard: nobody
    // takes the command, so the start is refused as any other.
    desktop.lockHolders["kwpshot_zmrt"] = 1;
    Start start = StartWith(desktop, Command::Capture);
    EXPECT_EQ(start.exitCode, 0);
    ASSERT_EQ(start.process->messageBoxes.size(), 1u);
    EXPECT_EQ(start.process->messageBoxes[0].text, kRefusal);
    EXPECT_TRUE(start.process->Windows().empty());
    EXPECT_EQ(desktop.lockHolders["kwpshot_zmrt"], 1) << "the refused start gave its hold up";
}

TEST_F(ProgramTest, ACommandFailingInTheRunningCopyIsReportedThereAndTheLoopGoesOn) {
    StoreSettings(SettingsFileText("50", 16465, 1));
    desktop.timersLeft = 0;
    Run([&] {
        EXPECT_EQ(StartWith(desktop, Command::Capture).exitCode, 0);
        EXPECT_EQ(Boxes(), (std::vector<std::string>{
                               "Pixnab简体中文免费版V3.02.29|Not enough timers available.|16"}));
        EXPECT_TRUE(process.LoopRunning());
    });
}

}  // namespace
}  // namespace kwp::testing
