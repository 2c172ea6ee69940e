#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <vector>

#include "core/Host.h"

// Real time on Qt's event loop. A wait runs a local event loop that ends at its deadline, when
// bytes arrive (Wake) or when the program ends; idle waits sleep in the event dispatcher.
class QtHost : public Host {
public:
    QtHost();

    double Now() const override;
    std::int64_t TickMs() const override;
    LocalDateTime LocalNow() const override;
    void Yield(double deadline) override;
    bool Quitting() const override { return quitting_; }
    void SetSecondTicker(std::function<void()> onTick) override;

    // Ends the current wait early (something it may be waiting for has happened).
    void Wake() override;
    // Every wait returns at once from now on.
    void RequestQuit() override;

private:
    QElapsedTimer clock_;
    QTimer ticker_;
    std::function<void()> onTick_;
    std::vector<QEventLoop*> loops_;  // waits in progress, innermost last
    bool quitting_ = false;
};
