#pragma once

#include <QTimer>
#include <cmath>

#include "platform/QtHost.h"
#include "sim/Scheduler.h"

// Scheduler on Qt timers and the host's clock: the simulated instrument answers in real time, and
// each delivery, being an event, ends the host's current sleep.
class QtScheduler : public Scheduler {
public:
    explicit QtScheduler(QtHost& host) : host_(host) {}

    double Now() const override { return host_.Now(); }
    void CallAt(double when, std::function<void()> action) override
    {
        const int ms = std::max(0, static_cast<int>(std::ceil((when - host_.Now()) * 1000.0)));
        QTimer::singleShot(ms, Qt::PreciseTimer, &context_, std::move(action));
    }

private:
    QtHost& host_;
    QObject context_;
};
