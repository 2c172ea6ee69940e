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
// At most ten runs a second: redrawing less often leaves the processor and its caches to the line.
constexpr double kDeferredIntervalS = 0.1;
// Work that has found no wait of its own by then runs at the next yield.
constexpr double kDeferredLongestS = 0.25;
// How long before an answer can come a wait wakes for it.
constexpr double kWakeBeforeAnswerS = 0.001;
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

void QtHost::Defer(std::function<void()> action)
{
    if (deferred_.empty())
        deferredSince_ = Now();
    deferred_.push_back(std::move(action));
}

void QtHost::RunDeferred()
{
    std::vector<std::function<void()>> due;
    due.swap(deferred_);
    for (auto& action : due)
        action();
    deferredRunAt_ = Now();
}

bool QtHost::DeferredDue(double now)
{
    if (deferred_.empty())
        return false;
    if (now - deferredSince_ >= kDeferredLongestS)
        return true;
    if (waitTried_)
        return false;
    // A wait that reaches its 2 ms before the interval is over leaves the work to a later one,
    // without waking for it.
    if (waitStart_ + kDeferredAfterS - deferredRunAt_ < kDeferredIntervalS) {
        waitTried_ = true;
        return false;
    }
    if (now - waitStart_ < kDeferredAfterS)
        return false;
    waitTried_ = true;
    return true;
}

double QtHost::DeferredCheckAt() const
{
    return waitTried_ ? deferredSince_ + kDeferredLongestS : waitStart_ + kDeferredAfterS;
}

void QtHost::Yield(double deadline)
{
    double now = Now();
    // Every wait has its own deadline: a new one starts a new wait.
    if (deadline != waitDeadline_) {
        waitDeadline_ = deadline;
        waitStart_ = now;
        waitTried_ = false;
    }
    if (DeferredDue(now)) {
        RunDeferred();
        now = Now();
    }
    if (quitting_)
        return;
    if (deadline <= now) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    double wakeAt = deferred_.empty() ? deadline : std::min(deadline, DeferredCheckAt());
    if (answerAt_ - kWakeBeforeAnswerS > now)
        wakeAt = std::min(wakeAt, answerAt_ - kWakeBeforeAnswerS);
    ArmWakeUp(wakeAt, now);
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
