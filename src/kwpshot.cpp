#include "kwpshot.h"

#include "qcapture.h"
#include "setkey.h"

namespace kwp {

namespace {
constexpr const char* kGuardName = "kwpshot_zmrt";
constexpr const char* kAlreadyRunning = "截图工具已经打开了,隐藏在任务栏的右边!";

// The module-level window variables name live windows only: cleared on every
// way out of the entry routine, a start-up error included.
struct WindowVariablesCleared {
    ~WindowVariablesCleared() {
        Form5 = nullptr;
        Form2 = nullptr;
    }
};
}  // namespace

int KwpshotMain(platform::Platform& platform) {
    // The guard is held until the program ends; a copy that finds it held
    // says so and ends without creating a window.
    std::unique_ptr<platform::SessionLock> guard = platform.CreateSessionLock(kGuardName);
    if (guard->AlreadyExisted()) {
        // A start that carries a command (kwpshot --capture) hands it to the
        // running copy and ends quietly.
        if (platform.HandCommandToRunningCopy()) return 0;
        platform.ShowMessageBox(kAlreadyRunning, kMessageCaption, platform::kMbIconInformation);
        guard.reset();
        return 0;
    }

    WindowVariablesCleared clearedOnExit;
    platform.SetApplicationTitle(kApplicationTitle);
    auto form2 = std::make_unique<TForm2>(platform);
    Form2 = form2.get();
    auto form5 = std::make_unique<TForm5>(platform);
    Form5 = form5.get();
    // Creating the main window may wait in a local loop (a desktop asked for
    // the hotkey), so commands are taken only now.
    form2->AcceptCommands();

    platform.RunMessageLoop();

    // Shut-down: the windows go with their components (tray icon, hotkeys).
    // Nothing is written to the settings file.
    form5.reset();
    Form5 = nullptr;
    form2.reset();
    Form2 = nullptr;
    SettingsFile.reset();
    return 0;
}

}  // namespace kwp
