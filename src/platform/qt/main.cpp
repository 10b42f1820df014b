// kwpshot for Linux (X11): Qt's application object, the Qt platform, and the
// program's entry routine. The program takes no arguments of its own.
#include <malloc.h>

#include <QApplication>

#include "kwpshot.h"
#include "qt_platform.h"

int main(int argc, char** argv) {
    // Screen-sized blocks (the clipboard's image, Qt's buffers) are mapped
    // afresh and go back to the system when freed. Left to itself the
    // allocator raises this limit past a 4K screen's size after the first
    // such block is freed, and keeps every later one in its heap.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
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
