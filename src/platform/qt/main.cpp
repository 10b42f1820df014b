// kwpshot for Linux (X11): Qt's application object, the Qt platform, and the
// program's entry routine. The program takes no arguments of its own.
#include <QApplication>

#include "display_services.h"
#include "kwpshot.h"
#include "qt_platform.h"

int main(int argc, char** argv) {
    kwp::qt::ChooseQtPlatformPlugin();
    QApplication app(argc, argv);
    int code = 0;
    {
        kwp::qt::QtPlatform platform(app);
        code = kwp::KwpshotMain(platform);
    }
    // Leaving main destroys the application object last; Qt then hands a
    // clipboard image it still owns to the clipboard manager, if one runs.
    return code;
}
