// The Linux program's capture costs on a real X server, at 1920x1080 and
// 3840x2160: the raw MIT-SHM grab of the screen, the plain GetImage grab, the
// capture tick (screen copy + overlay shown and painted), and a pointer move
// over the overlay with its repaint.
//
//   x11_bench                 starts an Xvfb per screen size and measures on it
//   x11_bench 1920x1080x16    the same on the screens named (width x height x depth)
//   x11_bench --here          measures on $DISPLAY as it is
//
// Each figure is the median of its runs, in milliseconds; the server has
// finished drawing when a run's clock stops (a round trip follows the work).
// Last it checks what the screen then shows: the snapshot, even after the
// screen under the overlay changed, and a smaller picture centred on the
// button face.
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "components/image.h"
#include "qcapture.h"
#include "qt_overlay.h"
#include "qt_platform.h"
#include "x_connection.h"
#include "x_screen_grab.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double TimeMs(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (prepare) prepare();
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return Median(times);
}

// Waits until the server has done everything asked of it so far.
void RoundTrip(const kwp::qt::XConnection& x) {
    std::free(xcb_get_input_focus_reply(x.connection, xcb_get_input_focus(x.connection), nullptr));
}

// Counts the paints of a widget, so a run can wait for the repaint it caused.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

void WaitForPaint(PaintCounter& counter, int before, const kwp::qt::XConnection& x) {
    QElapsedTimer limit;
    limit.start();
    while (counter.paints == before && limit.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::processEvents(QEventLoop::AllEvents);  // the backing store's flush
    RoundTrip(x);
}

bool Viewable(const kwp::qt::XConnection& x, QWidget* widget) {
    auto* attributes = xcb_get_window_attributes_reply(
        x.connection, xcb_get_window_attributes(x.connection, xcb_window_t(widget->winId())), nullptr);
    const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    return viewable;
}

// What the screen shows once the overlay is mapped (a window manager may map
// it late) and the program is idle (a pointer event may have drawn the
// crosshair meanwhile), read back with GetImage.
kwp::core::Bitmap ScreenNow(kwp::qt::XScreenGrab& grab, QWidget* overlay, const kwp::qt::XConnection& x, int width,
                            int height) {
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 2000 && !Viewable(x, overlay)) QCoreApplication::processEvents(QEventLoop::AllEvents);
    settle.restart();
    while (settle.elapsed() < 200) QCoreApplication::processEvents(QEventLoop::AllEvents);
    RoundTrip(x);
    return grab.CopyWithGetImage(0, 0, width, height);
}

// The overlay's picture is on screen: a fresh snapshot after the root window
// was repainted in a plain colour, and a quarter-size crop centred on the
// button face (a picture in ordinary memory, sent through the socket).
bool ShowsThePicture(kwp::TForm5& form, QWidget* overlay, PaintCounter& counter, kwp::qt::XScreenGrab& grab,
                     const kwp::qt::XConnection& x, int width, int height) {
    overlay->hide();
    QCoreApplication::processEvents();
    form.Timer1Timer();
    WaitForPaint(counter, counter.paints - 1, x);
    overlay->hide();
    QCoreApplication::processEvents();
    // A colour the snapshot does not have at its corner.
    const uint32_t plain = ~form.Image1->Picture().Pixel(0, 0) & 0xFFFFFFu;
    xcb_change_window_attributes(x.connection, x.root, XCB_CW_BACK_PIXEL, &plain);
    xcb_clear_area(x.connection, 0, x.root, 0, 0, 0, 0);
    RoundTrip(x);
    int before = counter.paints;
    overlay->showFullScreen();
    WaitForPaint(counter, before, x);
    const bool snapshot = ScreenNow(grab, overlay, x, width, height) == form.Image1->Picture();

    const kwp::core::Bitmap small = form.Image1->Picture().Crop({0, 0, width / 2, height / 2});
    auto* widget = static_cast<kwp::qt::OverlayWidget*>(overlay);
    before = counter.paints;
    widget->SetPicture(&small);
    WaitForPaint(counter, before, x);
    const kwp::core::Bitmap shown = ScreenNow(grab, overlay, x, width, height);
    const kwp::core::Rect centre{(width - small.Width()) / 2, (height - small.Height()) / 2, 0, 0};
    // The face colour as the screen's depth shows it (247 for 240 at 5 bits;
    // a colour map may hold nothing near it).
    auto isFace = [&](uint32_t rgb) {
        if (x.screen->root_depth <= 8) return rgb == shown.Pixel(0, 0);
        for (int shift : {0, 8, 16})
            if (std::abs(int((rgb >> shift) & 0xFF) - 240) > 8) return false;
        return true;
    };
    const bool centred = shown.Crop({centre.left, centre.top, centre.left + small.Width(),
                                     centre.top + small.Height()}) == small &&
                         isFace(shown.Pixel(0, 0)) && isFace(shown.Pixel(width - 1, height - 1));
    widget->SetPicture(&form.Image1->Picture());
    if (!snapshot || !centred)
        std::fprintf(stderr, "snapshot shown: %s, crop centred on the face: %s\n", snapshot ? "yes" : "NO", centred ? "yes" : "NO");
    return snapshot && centred;
}

QWidget* OverlayWidget() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowTitle() == "Form5") return widget;
    return nullptr;
}

int MeasureHere() {
    int argc = 1;
    char name[] = "x11_bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    kwp::qt::QtPlatform platform(app);
    const kwp::qt::XConnection x = kwp::qt::CurrentXConnection();
    const int width = platform.ScreenWidth(), height = platform.ScreenHeight();
    kwp::qt::XScreenGrab grab(x);
    const int runs = width > 2000 ? 15 : 30;

    const double rawShm = grab.UsesSharedMemory()
                              ? TimeMs(runs, nullptr, [&] { grab.GrabToSharedMemory(0, 0, width, height); })
                              : -1;
    const double getImage = TimeMs(runs, nullptr, [&] { grab.CopyWithGetImage(0, 0, width, height); });
    const double copy = TimeMs(runs, nullptr, [&] { grab.Copy(0, 0, width, height); });

    // The real overlay of the program, ticked as the timer would.
    kwp::TForm5 form(platform);
    kwp::Form5 = &form;
    form.Timer1Timer();
    QWidget* overlay = OverlayWidget();
    PaintCounter counter;
    overlay->installEventFilter(&counter);
    WaitForPaint(counter, -1, x);

    // Before each timed run: the overlay hidden again, as between captures.
    auto hideOverlay = [&] {
        overlay->hide();
        QCoreApplication::processEvents();
        RoundTrip(x);
    };
    const double tick = TimeMs(
        runs, hideOverlay,
        [&] {
            const int before = counter.paints;
            form.Timer1Timer();
            WaitForPaint(counter, before, x);
        });

    // The part of the tick after the grab: the overlay shown and painted.
    auto* qtOverlay = static_cast<kwp::qt::OverlayWidget*>(overlay);
    const double show = TimeMs(
        runs, hideOverlay,
        [&] {
            const int before = counter.paints;
            overlay->showFullScreen();
            WaitForPaint(counter, before, x);
        });
    // A full repaint of the visible overlay (no mapping).
    const double repaint = TimeMs(runs, nullptr, [&] {
        const int before = counter.paints;
        qtOverlay->InvalidatePicture({0, 0, width, height});
        WaitForPaint(counter, before, x);
    });

    // Pointer moves: the crosshair follows the pointer across the screen.
    int step = 0;
    const double move = TimeMs(runs * 4, nullptr, [&] {
        const int before = counter.paints;
        ++step;
        form.Image1MouseMove((step * 37) % width, (step * 23) % height);
        WaitForPaint(counter, before, x);
    });
    // For comparison: the repaint of exactly the four lines a crosshair move
    // changes, told to the overlay directly.
    const double thinMove = TimeMs(runs * 4, nullptr, [&] {
        const int before = counter.paints;
        ++step;
        const int cx = (step * 37) % width, cy = (step * 23) % height;
        qtOverlay->InvalidatePicture({cx, 0, cx + 1, height});
        qtOverlay->InvalidatePicture({0, cy, width, cy + 1});
        qtOverlay->InvalidatePicture({cx + 3, 0, cx + 4, height});
        qtOverlay->InvalidatePicture({0, cy + 3, width, cy + 4});
        WaitForPaint(counter, before, x);
    });

    const bool shows = ShowsThePicture(form, overlay, counter, grab, x, width, height);

    std::printf("%dx%d  raw MIT-SHM grab %7.2f ms | GetImage grab %7.2f ms | grab into bitmap %7.2f ms\n", width,
                height, rawShm, getImage, copy);
    std::printf("%dx%d  tick (grab + show + paint) %7.2f ms = %.2fx the raw grab\n", width, height, tick,
                rawShm > 0 ? tick / rawShm : 0.0);
    std::printf("%dx%d    of which: overlay shown + painted %7.2f ms; a full repaint alone %7.2f ms\n", width,
                height, show, repaint);
    std::printf("%dx%d  pointer move + repaint %7.3f ms (the program's move) | %7.3f ms (four lines invalidated directly)\n",
                width, height, move, thinMove);
    std::printf("%dx%d  the screen shows the picture (snapshot over a changed screen, crop centred): %s\n", width,
                height, shows ? "yes" : "NO");
    overlay->removeEventFilter(&counter);
    kwp::Form5 = nullptr;
    return shows ? 0 : 1;
}

// Starts Xvfb with the screen (WIDTHxHEIGHTxDEPTH), runs this program on it
// with --here, stops it.
int MeasureOnXvfb(const char* self, const std::string& screen) {
    int fds[2];
    if (pipe(fds) != 0) return 1;
    const pid_t server = fork();
    if (server == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char number[16] = {};
    ssize_t got = 0;
    while (got < 15) {
        const ssize_t n = read(fds[0], number + got, sizeof number - 1 - got);
        if (n <= 0 || std::strchr(number, '\n')) break;
        got += n;
    }
    close(fds[0]);
    int status = 1;
    if (number[0]) {
        const std::string display = std::string(":").append(number, std::strcspn(number, "\n"));
        const pid_t child = fork();
        if (child == 0) {
            setenv("DISPLAY", display.c_str(), 1);
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            execl(self, self, "--here", static_cast<char*>(nullptr));
            _exit(127);
        }
        waitpid(child, &status, 0);
    } else {
        std::fprintf(stderr, "Xvfb did not start\n");
    }
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--here") == 0) return MeasureHere();
    std::vector<std::string> screens(argv + 1, argv + argc);
    if (screens.empty()) screens = {"1920x1080x24", "3840x2160x24"};
    int status = 0;
    for (const std::string& screen : screens) status |= MeasureOnXvfb("/proc/self/exe", screen);
    return status;
}
