#include "sim/VirtualHost.h"

#include <cmath>
#include <ctime>

LocalDateTime VirtualHost::LocalNow() const
{
    std::tm tm{};
    tm.tm_year = localStart_.year - 1900;
    tm.tm_mon = localStart_.month - 1;
    tm.tm_mday = localStart_.day;
    tm.tm_hour = localStart_.hour;
    tm.tm_min = localStart_.minute;
    tm.tm_sec = localStart_.second + static_cast<int>(std::floor(now_));
    tm.tm_isdst = 0;
    const std::time_t t = timegm(&tm);
    std::tm out{};
    gmtime_r(&t, &out);
    return {out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec};
}

void VirtualHost::CallAt(double when, std::function<void()> action)
{
    events_.emplace(std::max(when, now_), std::move(action));
}

bool VirtualHost::RunDue()
{
    bool ran = false;
    while (!events_.empty() && events_.begin()->first <= now_) {
        auto action = std::move(events_.begin()->second);
        events_.erase(events_.begin());
        action();
        ran = true;
    }
    return ran;
}

void VirtualHost::Yield(double deadline)
{
    ++yields_;
    if (onYield_)
        onYield_();
    if (RunDue())
        return;
    double next = deadline;
    if (!events_.empty())
        next = std::min(next, events_.begin()->first);
    if (next > now_)
        now_ = next;
    RunDue();
}

void VirtualHost::RunUntil(double until)
{
    while (!events_.empty() && events_.begin()->first <= until) {
        now_ = std::max(now_, events_.begin()->first);
        RunDue();
    }
    now_ = std::max(now_, until);
}

void VirtualHost::SetSecondTicker(std::function<void()> onTick)
{
    ticker_ = std::move(onTick);
    ++tickerGeneration_;
    if (ticker_)
        ScheduleTick();
}

void VirtualHost::ScheduleTick()
{
    const auto generation = tickerGeneration_;
    CallAfter(1.0, [this, generation] {
        if (generation != tickerGeneration_ || !ticker_)
            return;
        ticker_();
        ScheduleTick();
    });
}
