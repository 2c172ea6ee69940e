#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "core/Host.h"
#include "sim/Scheduler.h"

// Virtual time: a wait jumps straight to the next scheduled event or its deadline, so a 15-second
// time-out costs nothing and every run is deterministic.
class VirtualHost : public Host, public Scheduler {
public:
    double Now() const override { return now_; }
    std::int64_t TickMs() const override { return static_cast<std::int64_t>(now_ * 1000.0); }
    LocalDateTime LocalNow() const override;
    void Yield(double deadline) override;
    bool Quitting() const override { return quitting_; }
    void RequestQuit() override { quitting_ = true; }
    void SetSecondTicker(std::function<void()> onTick) override;
    void Defer(std::function<void()> action) override { deferred_.push_back(std::move(action)); }
    void RunDeferred() override;

    void CallAt(double when, std::function<void()> action) override;
    void CallAfter(double delay, std::function<void()> action) { CallAt(now_ + delay, std::move(action)); }

    // Local clock at virtual time 0.
    void SetLocalStart(const LocalDateTime& start) { localStart_ = start; }
    void SetQuitting(bool quitting) { quitting_ = quitting; }
    // Runs on every yield (tests pump the Qt event queue here).
    void SetOnYield(std::function<void()> onYield) { onYield_ = std::move(onYield); }
    // Runs every event due up to `until`, advancing the clock.
    void RunUntil(double until);
    std::size_t PendingEvents() const { return events_.size(); }
    std::int64_t Yields() const { return yields_; }

private:
    bool RunDue();
    void ScheduleTick();

    double now_ = 0.0;
    bool quitting_ = false;
    std::int64_t yields_ = 0;
    std::uint64_t tickerGeneration_ = 0;
    LocalDateTime localStart_{2025, 3, 5, 14, 7, 9};
    std::multimap<double, std::function<void()>> events_;
    std::function<void()> onYield_;
    std::function<void()> ticker_;
    std::vector<std::function<void()>> deferred_;
};
