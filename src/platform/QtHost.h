#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include "core/Host.h"

// Real time on Qt's event loop. A wait sleeps in one pass of the event dispatcher: it returns once
// it has delivered whatever woke it (received bytes, a timer, a click) or the wait's deadline has
// come, so the waiting routine re-checks its condition after every event and idles without CPU.
class QtHost : public Host {
public:
    QtHost();

    double Now() const override;
    std::int64_t TickMs() const override;
    LocalDateTime LocalNow() const override;
    void Yield(double deadline) override;
    bool Quitting() const override { return quitting_; }
    void SetSecondTicker(std::function<void()> onTick) override;
    void Defer(std::function<void()> action) override { deferred_.push_back(std::move(action)); }
    void RunDeferred() override;

    // Every wait returns at once from now on.
    void RequestQuit() override;

private:
    void ArmWakeUp(double deadline, double now);

    QElapsedTimer clock_;
    QTimer ticker_;
    QTimer wakeUp_;         // ends a sleep at its wait's deadline
    double wakeUpAt_ = 0.0;  // when wakeUp_ fires, while active
    double waitDeadline_ = -1.0;  // of the wait under way
    double waitStart_ = 0.0;      // when it began
    std::function<void()> onTick_;
    bool quitting_ = false;
    std::vector<std::function<void()>> deferred_;
};
