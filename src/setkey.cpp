#include "setkey.h"

#include <vector>

#include "core/day_number.h"
#include "core/home_page.h"
#include "core/hotkey_value.h"
#include "core/int_text.h"
#include "qcapture.h"

namespace kwp {

TForm2* Form2 = nullptr;
std::unique_ptr<IniFile> SettingsFile;

namespace {

using platform::Bounds;
using platform::FontKind;
using platform::Resource;
using platform::TextColor;

constexpr int kClientWidth = 375;
constexpr int kClientHeight = 298;
constexpr int kShortenedBy = 63;        // the banner, the strip above it, 2 px of the panel
constexpr int kLastShortenedDay = 41401;  // 7 May 2013

const std::vector<std::string> kInstructions = {
    "1、此为截取屏幕任意区域的截图工具,图片保存为JPG格式。",
    "2、直接按[截图]按钮进行截图,按完后,仅需单击一下要截的图的起",
    "始点,然后移动鼠标到终点,再单击一下即可弹出另存为对话框,输入",
    "名称与地址后按[保存]按钮即完成保存所截的图片(JPG格式)。",
    "3、直接按[保存]按钮后,此截图工具将会被隐藏,这时可以按截图热",
    "键进行截图操作,简单方便!",
    "4、可以手动设置截图热键与图片质量,图片质量可以输入0到100的数",
    "值,数值越大,图片越清晰,但容量会越大,一般情况下,图片质量选择在",
    "50左右。",
};

// The home page is kept scrambled: the address with a filler token put in at
// several places.
constexpr const char* kScrambledHomePage = "httpsQzXwK://kwpshot.exQzXwKample.org/QzXwK";
constexpr const char* kHomePageFiller = "QzXwK";

}  // namespace

TForm2::TForm2(platform::Platform& platform) : platform_(platform) {
    LoadComponents();
    FormCreate();
}

TForm2::~TForm2() { platform_.SetCommandHandler(nullptr); }

void TForm2::AcceptCommands() {
    platform_.SetCommandHandler(
        [this](platform::Command command, platform::CommandFrom from) { CommandReceived(command, from); });
}

void TForm2::LoadComponents() {
    HotKeyManager1 = std::make_unique<HotKeyManager>(
        platform_, [this](uint32_t hotKey, uint16_t index) { HotKeyManager1HotKeyPressed(hotKey, index); });
    // The tray icon is in the tray before FormCreate runs; it keeps the main
    // window from being shown by the loop, so FormCreate alone decides that.
    CoolTrayIcon1 = platform_.NewTrayIcon(kApplicationTitle, Resource::TrayIcon,
                                          {{"打开(&O)", [this] { O1Click(); }}, {"退出(&Q)", [this] { Exit1Click(); }}},
                                          [this] { CoolTrayIcon1Click(); });

    window_ = platform_.NewWindow(kApplicationTitle, kClientWidth, kClientHeight);
    Image1 = window_->AddPicture({0, 238, 375, 60}, Resource::Banner, [this] { SpeedButton4Click(); });
    Memo1 = window_->AddMemo({0, 0, 375, 141}, kInstructions, 0);
    Panel1 = window_->AddPanel({0, 141, 375, 96}, 1);
    Label2 = Panel1->AddLabel({3, 8, 65, 13}, "截图热键", FontKind::Small, TextColor::Red);
    SpeedButton1 = Panel1->AddSpeedButton({160, 59, 68, 30}, "保存&Y", Resource::GlyphSave, [this] { SpeedButton1Click(); });
    SpeedButton2 = Panel1->AddSpeedButton({235, 59, 70, 30}, "退出&Q", Resource::GlyphExit, [this] { SpeedButton2Click(); });
    Label1 = Panel1->AddLabel({168, 8, 65, 13}, "图片质量", FontKind::Small, TextColor::Red);
    SpeedButton3 = Panel1->AddSpeedButton({75, 59, 70, 30}, "截图&N", Resource::GlyphCapture, [this] { SpeedButton3Click(); });
    SpeedButton4 = Panel1->AddSpeedButton({266, 31, 105, 23}, "作者主页", Resource::None, [this] { SpeedButton4Click(); });
    HotKey2 = Panel1->AddHotKeyBox({62, 4, 99, 20}, core::kDefaultHotKey, 1);
    Edit1 = Panel1->AddEdit({232, 3, 49, 23}, "50", 0);
    CheckBox1 = Panel1->AddCheckBox({32, 36, 193, 17}, "启动时直接隐藏在任务栏中", false, 2);
}

void TForm2::FormCreate() {
    try {
        window_->ActivateSkin();
        SettingsFile = std::make_unique<IniFile>(platform_, kSettingsFileName);
        Edit1->SetText(SettingsFile->ReadString(kQualitySection, kQualityKey, "50"));
        HotKey2->SetValue(core::HotKeyBoxValue(SettingsFile->ReadInteger(kHotKeySection, kHotKeyKey, core::kDefaultHotKey)));
        if (SettingsFile->ReadInteger(kHideSection, kHideKey, 0) != 0) {
            CheckBox1->SetChecked(true);
            window_->Hide();
        } else {
            CheckBox1->SetChecked(false);
            window_->Show();
        }
        // What the box keeps is what gets registered, not the raw stored number.
        CaptureHotKeyId = HotKeyManager1->AddHotKey(HotKey2->Value());
    } catch (...) {
        // Settings that cannot be read leave the designed values; no message.
    }

    if (core::DayNumber(platform_.Today()) <= kLastShortenedDay)
        window_->SetClientSize(kClientWidth, kClientHeight - kShortenedBy);
}

void TForm2::Inform(const std::string& text) {
    platform_.ShowMessageBox(text, kMessageCaption, platform::kMbIconInformation);
}

bool TForm2::QualityIsValid() {
    const std::string text = Edit1->Text();
    if (text.empty()) {
        Inform("必须输入图片质量!");
        Edit1->SetFocus();
        return false;
    }
    try {
        if (core::ParseInt(text) >= 0 && core::ParseInt(text) <= 100) return true;
        Inform("输入的图片质量应在0到100之间!");
        Edit1->SetFocus();
        return false;
    } catch (const std::exception&) {
        Inform("必须输入整数类型的图片质量!");
        Edit1->SetFocus();
        return false;
    }
}

void TForm2::SpeedButton1Click() {
    if (!QualityIsValid()) return;
    // The settings object exists unless creation failed before making it.
    if (!SettingsFile) SettingsFile = std::make_unique<IniFile>(platform_, kSettingsFileName);
    SettingsFile->WriteString(kQualitySection, kQualityKey, Edit1->Text());
    SettingsFile->WriteInteger(kHotKeySection, kHotKeyKey, HotKey2->Value());
    SettingsFile->WriteInteger(kHideSection, kHideKey, CheckBox1->Checked() ? 1 : 0);
    CaptureHotKeyId = HotKeyManager1->ChangeHotKey(CaptureHotKeyId, HotKey2->Value());
    window_->Hide();
}

void TForm2::SpeedButton3Click() {
    if (!QualityIsValid()) return;
    window_->Hide();
    Form5->StartCapture();
}

void TForm2::SpeedButton2Click() { window_->Close(); }
void TForm2::Exit1Click() { window_->Close(); }

void TForm2::CoolTrayIcon1Click() { window_->Show(); }
void TForm2::O1Click() { window_->Show(); }

void TForm2::SpeedButton4Click() {
    platform_.OpenWithShell(core::RestoreScrambledAddress(kScrambledHomePage, kHomePageFiller));
}

void TForm2::HotKeyManager1HotKeyPressed(uint32_t HotKey, uint16_t Index) {
    if (window_->Visible()) {
        // While the window is open the hotkey only fills the focused hotkey box.
        if (HotKey2->Focused()) HotKey2->SetValue(core::HotKeyBoxValue(HotKey));
        return;
    }
    platform_.BringApplicationToFront();
    if (Index == CaptureHotKeyId)
        Form5->StartCapture();
    else
        Inform("未知的热键!");
}

void TForm2::CommandReceived(platform::Command command, platform::CommandFrom from) {
    switch (command) {
        case platform::Command::Show:
            O1Click();  // as the tray's Open
            return;
        case platform::Command::Capture:
            // A later start's request acts as the capture hotkey would, also
            // when none is registered (no id to compare): while the window is
            // open nothing starts. This start's own request is why the program
            // was started, so it captures whatever start-hidden showed.
            if (from == platform::CommandFrom::LaterStart && window_->Visible()) return;
            platform_.BringApplicationToFront();
            Form5->StartCapture();
            return;
    }
}

}  // namespace kwp
