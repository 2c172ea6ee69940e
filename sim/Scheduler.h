#pragma once

#include <functional>

// Runs a function at a time of its clock: virtual time in tests, a timer in the application.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    virtual double Now() const = 0;
    virtual void CallAt(double when, std::function<void()> action) = 0;
};
