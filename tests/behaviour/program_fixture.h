#pragma once
// Starts the whole program on the in-memory desktop and gives the test the
// user's view of it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/headless/headless_platform.h"
#include "qcapture.h"
#include "setkey.h"

namespace kwp::testing {

using headless::HeadlessPlatform;
using headless::HeadlessSystem;
using platform::MouseButton;

inline constexpr uint8_t kVkQ = 'Q';
inline constexpr uint8_t kVkA = 'A';
inline constexpr uint8_t kVkF1 = 0x70;

inline std::string Text(const core::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }
inline core::Bytes Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// The settings file as the program writes it with the given values.
std::string SettingsFileText(const std::string& quality, int hotkey, int hide);

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() : desktop(640, 480), process(desktop) {}

    // Runs the program; `user` acts while its loop runs.
    int Run(std::function<void()> user) { return process.Run(std::move(user)); }

    void StoreSettings(const std::string& text) { desktop.files[SettingsPath()] = Bytes(text); }
    std::string SettingsPath() const { return desktop.SettingsPath("kwpshot.ini"); }
    bool SettingsExist() const { return desktop.files.count(SettingsPath()) > 0; }
    std::string StoredSettings() const { return Text(desktop.files.at(SettingsPath())); }

    headless::HeadlessWindow& Window() { return *process.MainWindow(); }
    headless::HeadlessOverlay& Overlay() { return *process.Overlay(); }
    bool Click(const std::string& caption) { return Window().ClickButton(caption); }
    bool Save() { return Click("保存&Y"); }
    bool Capture() { return Click("截图&N"); }
    void TypeQuality(const std::string& text) { Window().TypeInto(Form2->Edit1, text); }

    // Lets the capture delay pass.
    void Tick() { process.AdvanceClock(300); }
    // Capture button, delay, two clicks; the dialog answers with `path`
    // (cancel for nothing).
    void CaptureRegion(int x1, int y1, int x2, int y2, std::optional<std::string> path);
    void SelectRegion(int x1, int y1, int x2, int y2);

    // Message boxes shown so far, as "caption|text|flags".
    std::vector<std::string> Boxes() const;

    HeadlessSystem desktop;
    HeadlessPlatform process;
};

}  // namespace kwp::testing
