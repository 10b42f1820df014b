// The main window's commands: the quality check, Save, Capture, Exit, Open and
// the home page.
#include "program_fixture.h"

namespace kwp::testing {
namespace {

constexpr const char* kNeedQuality = "必须输入图片质量!";
constexpr const char* kOutOfRange = "输入的图片质量应在0到100之间!";
constexpr const char* kNotInteger = "必须输入整数类型的图片质量!";

struct QualityCase {
    std::string text;
    const char* message;  // null: accepted
};

class QualityCheckTest : public ProgramTest, public ::testing::WithParamInterface<QualityCase> {};

TEST_P(QualityCheckTest, SaveAndCaptureAnswerTheSameWay) {
    const QualityCase& c = GetParam();
    for (const char* command : {"保存&Y", "截图&N"}) {
        SCOPED_TRACE(command);
        HeadlessSystem system(640, 480);
        HeadlessPlatform run(system);
        run.Run([&] {
            auto& window = *run.MainWindow();
            window.TypeInto(Form2->Edit1, c.text);
            window.FocusOn(Form2->CheckBox1);  // the focus is elsewhere when the button is clicked
            ASSERT_TRUE(window.ClickButton(command));
            if (c.message) {
                ASSERT_EQ(run.messageBoxes.size(), 1u);
                EXPECT_EQ(run.messageBoxes[0].text, c.message);
                EXPECT_EQ(run.messageBoxes[0].caption, "信息框");
                EXPECT_EQ(run.messageBoxes[0].flags, 0x40u);
                EXPECT_TRUE(Form2->Edit1->Focused());
                EXPECT_TRUE(window.Visible());
                run.AdvanceClock(1000);
                EXPECT_FALSE(run.Overlay()->Visible()) << "no capture starts";
            } else {
                EXPECT_TRUE(run.messageBoxes.empty());
                EXPECT_TRUE(Form2->CheckBox1->Focused()) << "a speed button leaves the focus where it was";
                EXPECT_FALSE(window.Visible());
            }
        });
        const std::string path = system.SettingsPath("kwpshot.ini");
        if (c.message || std::string(command) != "保存&Y") {
            EXPECT_EQ(system.files.count(path), 0u) << "nothing stored";
        } else {
            // Stored as typed; blanks at an end are kept inside quotes.
            const std::string stored = c.text.front() == ' ' ? "\"" + c.text + "\"" : c.text;
            EXPECT_EQ(Text(system.files.at(path)), SettingsFileText(stored, 16465, 0));
            HeadlessPlatform next(system);
            next.Run([&] { EXPECT_EQ(Form2->Edit1->Text(), c.text) << "and read back exactly"; });
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, QualityCheckTest,
                         ::testing::Values(QualityCase{"", kNeedQuality}, QualityCase{"abc", kNotInteger},
                                           QualityCase{"5.5", kNotInteger}, QualityCase{"+", kNotInteger},
                                           QualityCase{"50 ", kNotInteger}, QualityCase{"   ", kNotInteger},
                                           QualityCase{"99999999999", kNotInteger},
                                           QualityCase{"-1", kOutOfRange}, QualityCase{"101", kOutOfRange},
                                           QualityCase{"x65", kOutOfRange}, QualityCase{"0", nullptr},
                                           QualityCase{"100", nullptr}, QualityCase{" 50", nullptr},
                                           QualityCase{"+7", nullptr}, QualityCase{"-0", nullptr},
                                           QualityCase{"050", nullptr}, QualityCase{"$64", nullptr}));

TEST_F(ProgramTest, CaptureHidesTheWindowAndTakesTheScreen300msLater) {
    Run([&] {
        ASSERT_TRUE(Capture());
        EXPECT_FALSE(Window().Visible());
        process.AdvanceClock(299);
        EXPECT_FALSE(Overlay().Visible());
        process.AdvanceClock(1);
        EXPECT_TRUE(Overlay().Visible());
        EXPECT_TRUE(Overlay().Maximized());
        EXPECT_EQ(*Overlay().Picture(), desktop.screen);
        EXPECT_EQ(process.ForegroundWindow(), &Overlay());
        process.AdvanceClock(5000);  // one start, one tick
        EXPECT_FALSE(Form5->Timer1->Enabled());
    });
    EXPECT_FALSE(SettingsExist()) << "Capture stores nothing";
}

TEST_F(ProgramTest, TwoStartsWithin300msGiveOneTickAfterTheFirst) {
    Run([&] {
        ASSERT_TRUE(Capture());
        process.AdvanceClock(200);
        Form5->StartCapture();
        process.AdvanceClock(100);
        EXPECT_TRUE(Overlay().Visible());
        Overlay().MoveMouse(10, 10);
        const core::Bitmap shown = *Overlay().Picture();
        process.AdvanceClock(1000);
        EXPECT_EQ(*Overlay().Picture(), shown) << "no second tick";
    });
}

TEST_F(ProgramTest, NoTimerLeftReachesTheDefaultErrorReport) {
    desktop.timersLeft = 0;
    Run([&] {
        ASSERT_TRUE(Capture());
        EXPECT_EQ(Boxes(), (std::vector<std::string>{"Pixnab简体中文免费版V3.02.29|Not enough timers available.|16"}));
        EXPECT_TRUE(process.LoopRunning());
    });
}

TEST_F(ProgramTest, ScreenThatCannotBeReadReachesTheDefaultErrorReport) {
    desktop.screenUnreadable = true;
    Run([&] {
        ASSERT_TRUE(Capture());
        Tick();
        EXPECT_EQ(Boxes(), (std::vector<std::string>{"Pixnab简体中文免费版V3.02.29|Canvas does not allow drawing.|16"}));
        EXPECT_FALSE(Overlay().Visible());
        desktop.screenUnreadable = false;
        process.AdvanceClock(1000);
        EXPECT_FALSE(Overlay().Visible()) << "a failed tick is not repeated";
        process.Tray()->LeftClick();
        ASSERT_TRUE(Capture());
        Tick();
        EXPECT_TRUE(Overlay().Visible()) << "a new capture works";
    });
}

TEST_F(ProgramTest, ExitButtonAndAltLetterEndTheProgramWithoutStoring) {
    for (bool useAlt : {false, true}) {
        HeadlessSystem system(640, 480);
        HeadlessPlatform run(system);
        EXPECT_EQ(run.Run([&] {
            run.MainWindow()->TypeInto(Form2->Edit1, "70");
            if (useAlt)
                EXPECT_TRUE(run.MainWindow()->PressAltLetter('q'));
            else
                EXPECT_TRUE(run.MainWindow()->ClickButton("退出&Q"));
            EXPECT_FALSE(run.LoopRunning());
        }), 0);
        EXPECT_TRUE(system.files.empty());
    }
}

TEST_F(ProgramTest, OpenShowsWhatTheBoxesHeldWhenHidden) {
    Run([&] {
        TypeQuality("abc");
        Window().Minimize();
        process.Tray()->LeftClick();
        EXPECT_TRUE(Window().Visible());
        EXPECT_EQ(Form2->Edit1->Text(), "abc");
        process.Tray()->ChooseFromMenu("打开(&O)");  // already visible: only brought to the front
        EXPECT_TRUE(Window().Visible());
        EXPECT_TRUE(process.messageBoxes.empty());
    });
}

TEST_F(ProgramTest, HomePageOpensTheRestoredAddressFromButtonAndBanner) {
    Run([&] {
        ASSERT_TRUE(Click("作者主页"));
        ASSERT_TRUE(Window().ClickBanner());
        EXPECT_TRUE(Window().Visible());
    });
    ASSERT_EQ(desktop.shellOpened.size(), 2u);
    EXPECT_EQ(desktop.shellOpened[0], "https://kwpshot.example.org/");
    EXPECT_EQ(desktop.shellOpened[1], desktop.shellOpened[0]);
}

}  // namespace
}  // namespace kwp::testing
