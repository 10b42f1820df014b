// kwpshot for Linux: the command line, a display to run on, Qt's application
// object, the Qt platform, and the program's entry routine.
//
//   kwpshot             the program
//   kwpshot --capture   a capture, by the copy running in this session or by a new one
//   kwpshot --show      the main window, the same way
#include <QApplication>
#include <cstdio>
#include <optional>
#include <string_view>

#include "command_socket.h"
#include "display_choice.h"
#include "kwpshot.h"
#include "platform/dispatch.h"
#include "qt_dialogs.h"
#include "qt_platform.h"
#include "setkey.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kStartUpError = 1;

// False for anything but no argument or one known command.
bool ReadCommandLine(int argc, char** argv, std::optional<kwp::platform::Command>& command) {
    if (argc == 1) return true;
    if (argc != 2) return false;
    const std::string_view argument = argv[1];
    if (argument.substr(0, 2) != "--") return false;
    command = kwp::qt::CommandFromWord(argument.substr(2));
    return command.has_value();
}

// An error before the message loop: on stderr, and in the default error
// report while Qt can show one.
int ReportStartUpError(const std::exception_ptr& error, bool canShowBox) {
    const kwp::platform::ErrorReport report = kwp::platform::DefaultErrorReport(error, kwp::kApplicationTitle);
    std::fprintf(stderr, "kwpshot: %s\n", report.text.c_str());
    if (canShowBox) {
        try {
            kwp::qt::ShowMessageBox(report.text, report.caption, report.flags);
        } catch (...) {
            // Already on stderr.
        }
    }
    return kStartUpError;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<kwp::platform::Command> command;
    if (!ReadCommandLine(argc, argv, command)) {
        std::fputs("usage: kwpshot [--capture | --show]\n", stderr);
        return kUsageError;
    }
    const kwp::qt::DisplayChoice display = kwp::qt::ChooseDisplay();
    if (display.qtPlatform.empty()) {
        std::fprintf(stderr, "kwpshot: %s\n", display.problem.c_str());
        return kStartUpError;
    }

    // Qt sees none of the program's arguments, only the display chosen.
    std::string platformName = display.qtPlatform;
    char platformOption[] = "-platform";
    char* qtArgv[] = {argv[0], platformOption, platformName.data(), nullptr};
    int qtArgc = 3;
    try {
        QApplication app(qtArgc, qtArgv);
        int code = 0;
        try {
            kwp::qt::QtPlatform platform(app, command);
            code = kwp::KwpshotMain(platform);
        } catch (...) {
            // A box on a platform with no screen to see it (offscreen,
            // minimal) would wait for ever.
            const QString shown = QGuiApplication::platformName();
            const bool visible = shown == u"xcb" || shown.startsWith(u"wayland");
            return ReportStartUpError(std::current_exception(), visible);
        }
        // Leaving this block destroys the application object last; Qt then
        // hands a clipboard image it still owns to the clipboard manager, if
        // one runs.
        return code;
    } catch (...) {
        return ReportStartUpError(std::current_exception(), false);
    }
}
