#include "sim/VirtualHost.h"

#include <cmath>

namespace {

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back; plain arithmetic,
// so the virtual clock reads the same on every system.
long long DaysOfDate(long long year, int month, int day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void DateOfDays(long long days, int& year, int& month, int& day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

}  // namespace

LocalDateTime VirtualHost::LocalNow() const
{
    const LocalDateTime& s = localStart_;
    const long long seconds = DaysOfDate(s.year, s.month, s.day) * 86400 + s.hour * 3600 + s.minute * 60 + s.second +
                              static_cast<long long>(std::floor(now_));
    const long long days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const long long ofDay = seconds - days * 86400;
    LocalDateTime t;
    DateOfDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(ofDay / 3600);
    t.minute = static_cast<int>(ofDay / 60 % 60);
    t.second = static_cast<int>(ofDay % 60);
    return t;
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

void VirtualHost::RunDeferred()
{
    std::vector<std::function<void()>> deferred;
    deferred.swap(deferred_);
    for (auto& action : deferred)
        action();
}

void VirtualHost::Yield(double deadline)
{
    RunDeferred();
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
