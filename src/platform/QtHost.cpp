#include "platform/QtHost.h"

#include <QCoreApplication>
#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace {
// Upper bound of one sleep, so a wait re-checks its condition now and then.
constexpr int kMaxSleepMs = 250;
// Deferred work waits until a wait has lasted this long: the request is on its way and the
// answer not due yet (a command and its acknowledge take about 1.2 ms at 57600 baud), and the
// other end has had the processor to take the request.
constexpr double kDeferredAfterS = 0.002;
}

QtHost::QtHost()
{
    clock_.start();
    ticker_.setInterval(1000);
    QObject::connect(&ticker_, &QTimer::timeout, [this] {
        if (onTick_)
            onTick_();
    });
    // Its timeout needs no handler: delivering it ends the dispatcher's pass.
    wakeUp_.setSingleShot(true);
    wakeUp_.setTimerType(Qt::PreciseTimer);
}

double QtHost::Now() const
{
    return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

std::int64_t QtHost::TickMs() const
{
    return clock_.elapsed();
}

LocalDateTime QtHost::LocalNow() const
{
    const QDateTime now = QDateTime::currentDateTime();
    return {now.date().year(), now.date().month(), now.date().day(),
            now.time().hour(), now.time().minute(), now.time().second()};
}

void QtHost::RunDeferred()
{
    std::vector<std::function<void()>> due;
    due.swap(deferred_);
    for (auto& action : due)
        action();
}

void QtHost::Yield(double deadline)
{
    double now = Now();
    // Every wait has its own deadline: a new one starts a new wait.
    if (deadline != waitDeadline_) {
        waitDeadline_ = deadline;
        waitStart_ = now;
    }
    if (!deferred_.empty() && now - waitStart_ >= kDeferredAfterS) {
        RunDeferred();
        now = Now();
    }
    if (quitting_)
        return;
    if (deadline <= now) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    ArmWakeUp(deferred_.empty() ? deadline : std::min(deadline, waitStart_ + kDeferredAfterS), now);
    // Sleeps until an event or the wake-up timer, delivers what is ready and returns. An event
    // posted meanwhile has already woken the dispatcher, so nothing delivered here is missed.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// A wait yields after every event with the same deadline: the timer already set for it stays.
void QtHost::ArmWakeUp(double deadline, double now)
{
    if (wakeUp_.isActive() && wakeUpAt_ <= deadline && wakeUpAt_ > now)
        return;
    const int sleepMs = std::clamp(static_cast<int>(std::ceil((deadline - now) * 1000.0)), 1, kMaxSleepMs);
    wakeUpAt_ = now + sleepMs / 1000.0;
    wakeUp_.start(sleepMs);
}

void QtHost::RequestQuit()
{
    quitting_ = true;
}

void QtHost::SetSecondTicker(std::function<void()> onTick)
{
    onTick_ = std::move(onTick);
    if (onTick_)
        ticker_.start();
    else
        ticker_.stop();
}
