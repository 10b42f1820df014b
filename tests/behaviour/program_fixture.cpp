#include "program_fixture.h"

#include "core/hotkey_value.h"

namespace kwp::testing {

std::string SettingsFileText(const std::string& quality, int hotkey, int hide) {
    return "[jtzl]\r\n\xBD\xD8\xCD\xBC\xD6\xCA\xC1\xBF=" + quality + "\r\n" +
           "[HotKey2]\r\n\xBD\xD8\xCD\xBC\xC8\xC8\xBC\xFC=" + std::to_string(hotkey) + "\r\n" +
           "[yincang]\r\n\xD2\xFE\xB2\xD8=" + std::to_string(hide) + "\r\n";
}

void ProgramTest::SelectRegion(int x1, int y1, int x2, int y2) {
    Overlay().MoveMouse(x1, y1);
    Overlay().Press(MouseButton::Left, x1, y1);
    Overlay().MoveMouse(x2, y2);
    Overlay().Press(MouseButton::Left, x2, y2);
}

void ProgramTest::CaptureRegion(int x1, int y1, int x2, int y2, std::optional<std::string> path) {
    process.saveDialogAnswers.push_back(std::move(path));
    ASSERT_TRUE(Capture());
    Tick();
    ASSERT_TRUE(Overlay().Visible());
    SelectRegion(x1, y1, x2, y2);
}

std::vector<std::string> ProgramTest::Boxes() const {
    std::vector<std::string> out;
    for (const auto& box : process.messageBoxes)
        out.push_back(box.caption + "|" + box.text + "|" + std::to_string(box.flags));
    return out;
}

}  // namespace kwp::testing
