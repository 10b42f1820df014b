// The Linux program's capture costs on a Wayland desktop, at the primary
// output's current size: the portal's screen copy, the capture tick (screen
// copy + overlay shown and painted), a full repaint, and a pointer move over
// the overlay with its repaint.
//
//   wayland_bench      measures in the running Wayland session ($WAYLAND_DISPLAY,
//                      a session bus with xdg-desktop-portal and its back end)
//
// Each figure is the median of its runs, in milliseconds. A run's clock stops
// when the overlay has painted and handed its buffer to the compositor (the
// compositor's own drawing is not in the figure).
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "components/image.h"
#include "display_services.h"
#include "qcapture.h"
#include "qt_overlay.h"
#include "qt_platform.h"

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

// Counts the paints of a widget, so a run can wait for the repaint it caused.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

void WaitForPaint(PaintCounter& counter, int before) {
    QElapsedTimer limit;
    limit.start();
    while (counter.paints == before && limit.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::processEvents(QEventLoop::AllEvents);  // the backing store's flush
}

// Lets the compositor catch up between runs, as a user's pointer would.
void Settle(int ms) {
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// What the compositor shows on the primary output now (grim's picture)
// equals the overlay's picture, crosshair included.
bool ScreenShows(const kwp::core::Bitmap& picture) {
    Settle(300);
    QProcess grim;
    grim.start("grim", {"-t", "ppm", "-"});
    if (!grim.waitForFinished(20000) || grim.exitCode() != 0) return false;
    QImage shot;
    if (!shot.loadFromData(grim.readAllStandardOutput(), "PPM")) return false;
    shot = shot.convertToFormat(QImage::Format_RGB32);
    if (shot.width() < picture.Width() || shot.height() < picture.Height()) return false;
    for (int y = 0; y < picture.Height(); ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(shot.constScanLine(y));
        for (int x = 0; x < picture.Width(); ++x)
            if ((row[x] & 0xFFFFFFu) != picture.Pixel(x, y)) return false;
    }
    return true;
}

QWidget* FindOverlay() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowTitle() == "Form5") return widget;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    kwp::qt::ChooseQtPlatformPlugin();
    QApplication app(argc, argv);
    kwp::qt::QtPlatform platform(app);
    const int width = platform.ScreenWidth(), height = platform.ScreenHeight();
    const int runs = 9;

    const double copy = TimeMs(runs, nullptr, [&] { platform.CopyScreen(width, height); });

    kwp::TForm5 form(platform);
    kwp::Form5 = &form;
    form.Timer1Timer();
    QWidget* overlay = FindOverlay();
    if (!overlay) {
        std::fprintf(stderr, "no overlay\n");
        return 1;
    }
    PaintCounter counter;
    overlay->installEventFilter(&counter);
    WaitForPaint(counter, -1);
    Settle(300);

    auto hideOverlay = [&] {
        overlay->hide();
        Settle(100);
    };
    const double tick = TimeMs(runs, hideOverlay, [&] {
        const int before = counter.paints;
        form.Timer1Timer();
        WaitForPaint(counter, before);
    });
    Settle(300);
    const double show = TimeMs(runs, hideOverlay, [&] {
        const int before = counter.paints;
        overlay->showFullScreen();
        WaitForPaint(counter, before);
    });
    Settle(300);
    auto* widget = static_cast<kwp::qt::OverlayWidget*>(overlay);
    const double repaint = TimeMs(runs, [&] { Settle(20); }, [&] {
        const int before = counter.paints;
        widget->InvalidatePicture({0, 0, width, height});
        if (widget->PictureInSubsurface())
            widget->RoundTripWithCompositor();
        else
            WaitForPaint(counter, before);
    });

    // Pointer moves: the crosshair follows the pointer across the screen. In
    // a sub-surface the change is sent at once and the clock stops when the
    // compositor has taken it (a round trip); else at the window's repaint.
    const bool subsurface = widget->PictureInSubsurface();
    int step = 0;
    auto moveOnce = [&] {
        const int before = counter.paints;
        ++step;
        form.Image1MouseMove((step * 37) % width, (step * 23) % height);
        if (subsurface)
            widget->RoundTripWithCompositor();
        else
            WaitForPaint(counter, before);
    };
    // At a pace the compositor keeps up with (a frame apart), then back to back.
    const double move = TimeMs(runs * 8, [&] { Settle(17); }, moveOnce);
    const double burst = TimeMs(runs * 8, nullptr, moveOnce);
    // The program's own part: the move drawn and the change sent.
    const double own = TimeMs(runs * 8, [&] { Settle(17); }, [&] {
        ++step;
        form.Image1MouseMove((step * 37) % width, (step * 23) % height);
    });

    const bool shows = ScreenShows(form.Image1->Picture());

    std::printf("%dx%d (%s, scale %.2f)  portal screen copy %8.2f ms\n", width, height,
                qPrintable(QGuiApplication::platformName()), overlay->devicePixelRatioF(), copy);
    std::printf("%dx%d  tick (copy + show + paint) %8.2f ms; overlay shown + painted %7.2f ms; full repaint %7.2f ms\n",
                width, height, tick, show, repaint);
    std::printf("%dx%d  pointer move + repaint %7.3f ms (a frame apart) | %7.3f ms (back to back) | %7.3f ms (sent, "
                "no wait); picture in %s\n",
                width, height, move, burst, own, subsurface ? "a sub-surface" : "the window's buffer");
    std::printf("%dx%d  the screen shows the overlay's picture, crosshair included: %s\n", width, height,
                shows ? "yes" : "NO");
    overlay->removeEventFilter(&counter);
    kwp::Form5 = nullptr;
    return shows ? 0 : 1;
}
