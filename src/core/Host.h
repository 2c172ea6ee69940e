#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct LocalDateTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Clock and event pump. Every wait of the program is a loop of the form
//   while (!condition && host.Now() < deadline) host.Yield(deadline);
// so the same code runs in real time against a port and in virtual time against the simulator.
class Host {
public:
    virtual ~Host() = default;

    // Monotonic seconds; never jumps back.
    virtual double Now() const = 0;
    // Millisecond tick counter.
    virtual std::int64_t TickMs() const = 0;
    virtual LocalDateTime LocalNow() const = 0;

    // Delivers pending events (received bytes, timer ticks, clicks), then sleeps until the next
    // event or the deadline (monotonic seconds), whichever comes first, and returns once it has
    // delivered what woke it, so the caller re-checks its condition. Never spins.
    virtual void Yield(double deadline) = 0;

    // Runs `action` once during a later wait: work that can wait until the line is busy
    // (redrawing a log after an answer) is done after the next request has gone out. The virtual
    // clock runs it at the start of the next yield; real time once a wait has lasted a moment, so
    // that a wait its answer ends at once is not held up and the other end has the processor
    // first, and at most ten times a second.
    virtual void Defer(std::function<void()> action) = 0;
    // Runs now what Defer left for the next yield: the port is closing, no request follows.
    virtual void RunDeferred() = 0;
    // No answer can come before `when` (monotonic seconds; the request is still on the line until
    // then). Real time wakes the wait under way a moment before it, so that the processor is awake
    // and the waiting code in its caches when the answer comes; the virtual clock needs no such thing.
    virtual void ExpectAnswerAt(double when) { (void)when; }

    // True once the program is ending: every wait returns at once and operations unwind.
    virtual bool Quitting() const = 0;
    virtual void RequestQuit() = 0;

    // The one-second ticker of the time-out timer; an empty function stops it.
    virtual void SetSecondTicker(std::function<void()> onTick) = 0;
};
