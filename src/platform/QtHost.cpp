#include "platform/QtHost.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cmath>

namespace {
// Upper bound of one sleep, so a wait re-checks its condition now and then.
constexpr int kMaxSleepMs = 250;
}

QtHost::QtHost()
{
    clock_.start();
    ticker_.setInterval(1000);
    QObject::connect(&ticker_, &QTimer::timeout, [this] {
        if (onTick_)
            onTick_();
    });
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

void QtHost::Yield(double deadline)
{
    if (quitting_)
        return;
    const double remaining = deadline - Now();
    if (remaining <= 0.0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    const int sleepMs = std::clamp(static_cast<int>(std::ceil(remaining * 1000.0)), 1, kMaxSleepMs);
    QEventLoop loop;
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
    wake.start(sleepMs);
    loops_.push_back(&loop);
    loop.exec();
    loops_.pop_back();
}

void QtHost::Wake()
{
    for (QEventLoop* loop : loops_)
        loop->quit();
}

void QtHost::RequestQuit()
{
    quitting_ = true;
    Wake();
}

void QtHost::SetSecondTicker(std::function<void()> onTick)
{
    onTick_ = std::move(onTick);
    if (onTick_)
        ticker_.start();
    else
        ticker_.stop();
}
