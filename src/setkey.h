#pragma once
// The main window: instruction text, the three settings, the commands, the
// tray icon and the capture hotkey; and the settings file object.
#include <cstdint>
#include <memory>
#include <string>

#include "components/hotkey_manager.h"
#include "components/ini_file.h"
#include "platform/platform.h"

namespace kwp {

inline constexpr const char* kApplicationTitle = "Pixnab简体中文免费版V3.02.29";
inline constexpr const char* kMessageCaption = "信息框";

// The settings file's sections and keys; the keys are their GBK bytes on
// every system, so a file moves between systems unchanged.
inline constexpr const char* kSettingsFileName = "kwpshot.ini";
inline constexpr const char* kQualitySection = "jtzl";
inline constexpr const char* kQualityKey = "\xBD\xD8\xCD\xBC\xD6\xCA\xC1\xBF";  // 截图质量
inline constexpr const char* kHotKeySection = "HotKey2";
inline constexpr const char* kHotKeyKey = "\xBD\xD8\xCD\xBC\xC8\xC8\xBC\xFC";  // 截图热键
inline constexpr const char* kHideSection = "yincang";
inline constexpr const char* kHideKey = "\xD2\xFE\xB2\xD8";  // 隐藏

class TForm2 {
public:
    // Loads the window's components (the tray icon included), then runs
    // FormCreate.
    explicit TForm2(platform::Platform& platform);
    ~TForm2();
    TForm2(const TForm2&) = delete;
    TForm2& operator=(const TForm2&) = delete;

    // Components, in declared order.
    std::unique_ptr<HotKeyManager> HotKeyManager1;
    std::unique_ptr<platform::TrayIcon> CoolTrayIcon1;
    platform::Memo* Memo1 = nullptr;
    platform::Picture* Image1 = nullptr;
    platform::Panel* Panel1 = nullptr;
    platform::Label* Label2 = nullptr;
    platform::SpeedButton* SpeedButton1 = nullptr;
    platform::SpeedButton* SpeedButton2 = nullptr;
    platform::Label* Label1 = nullptr;
    platform::SpeedButton* SpeedButton3 = nullptr;
    platform::SpeedButton* SpeedButton4 = nullptr;
    platform::HotKeyBox* HotKey2 = nullptr;
    platform::Edit* Edit1 = nullptr;
    platform::CheckBox* CheckBox1 = nullptr;
    uint16_t CaptureHotKeyId = 0;

    // Handlers, in declared order.
    void HotKeyManager1HotKeyPressed(uint32_t HotKey, uint16_t Index);
    void FormCreate();
    void SpeedButton1Click();  // Save
    void SpeedButton2Click();  // Exit
    void CoolTrayIcon1Click();  // Open
    void SpeedButton3Click();  // Capture
    void Exit1Click();          // Exit
    void O1Click();             // Open
    void SpeedButton4Click();  // home page
    // Commands reach CommandReceived from here on; called once the overlay
    // exists too, since a capture request starts it.
    void AcceptCommands();
    // A command from `kwpshot --capture` / `kwpshot --show`.
    void CommandReceived(platform::Command command, platform::CommandFrom from);

    bool Visible() const { return window_->Visible(); }

private:
    void LoadComponents();
    bool QualityIsValid();
    void Inform(const std::string& text);

    platform::Platform& platform_;
    std::unique_ptr<platform::Window> window_;
};

// The one main window and the settings file object, for the life of the program.
extern TForm2* Form2;
extern std::unique_ptr<IniFile> SettingsFile;

}  // namespace kwp
