#pragma once
// A repeating timer on the event loop, like a window-message timer: it ticks
// every interval until disabled. Enabling an enabled timer changes nothing.
#include <QTimer>

#include "platform/platform.h"
#include "qt_dispatch.h"

namespace kwp::qt {

class QtTimer : public platform::Timer {
public:
    QtTimer(platform::Platform& platform, int intervalMs, platform::Handler onTimer) {
        timer_.setInterval(intervalMs);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, &timer_,
                         [&platform, onTimer = std::move(onTimer)] { RunHandler(platform, onTimer); });
    }
    void SetEnabled(bool enabled) override {
        if (enabled && !timer_.isActive()) timer_.start();
        if (!enabled) timer_.stop();
    }
    bool Enabled() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

}  // namespace kwp::qt
