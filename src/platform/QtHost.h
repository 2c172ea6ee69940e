#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include "core/Host.h"

// Real time on Qt's event loop. A wait sleeps in one pass of the event dispatcher: it returns once
// it has delivered whatever woke it (received bytes, a timer, a click) or the wait's deadline has
// come, so the waiting routine re-checks its condition after every event and idles without CPU.
//
// Deferred work (redrawing a log) runs 2 ms into a wait, when the request is on its way and the
// answer not due yet, and at most ten times a second, as often as a person can follow: a wait
// that reaches its 2 ms sooner leaves it to a later one. Work that finds no such wait within a
// quarter of a second runs at the start of the next yield.
class QtHost : public Host {
public:
    QtHost();

    double Now() const override;
    std::int64_t TickMs() const override;
    LocalDateTime LocalNow() const override;
    void Yield(double deadline) override;
    bool Quitting() const override { return quitting_; }
    void SetSecondTicker(std::function<void()> onTick) override;
    void Defer(std::function<void()> action) override;
    void RunDeferred() override;
    void ExpectAnswerAt(double when) override { answerAt_ = when; }

    // Every wait returns at once from now on.
    void RequestQuit() override;

private:
    void ArmWakeUp(double deadline, double now);
    // The deferred work is to run now; marks the wait's one chance taken.
    bool DeferredDue(double now);
    // When the deferred work is next looked at.
    double DeferredCheckAt() const;

    QElapsedTimer clock_;
    QTimer ticker_;
    QTimer wakeUp_;         // ends a sleep at its wait's deadline
    double wakeUpAt_ = 0.0;  // when wakeUp_ fires, while active
    double waitDeadline_ = -1.0;  // of the wait under way
    double waitStart_ = 0.0;      // when it began
    bool waitTried_ = false;      // its chance to run the deferred work has come
    std::function<void()> onTick_;
    bool quitting_ = false;
    std::vector<std::function<void()>> deferred_;
    double deferredSince_ = 0.0;   // the first of the work still to run
    double deferredRunAt_ = -1e9;  // the last run
    double answerAt_ = 0.0;        // the answer awaited is not due before then
};
