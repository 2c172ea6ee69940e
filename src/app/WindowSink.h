#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Dialogs.h"
#include "core/Host.h"
#include "core/OperationSink.h"

// An operation's sink in the window: its log goes to a tab's status box, its questions to message
// boxes and file dialogs, its notices to message boxes. A tab with a progress bar or a Stop button
// gives the functions for them.
//
// The log, bar and percentage are brought up to date during a following wait (Host::Defer), after
// the next request has gone out, so redrawing never delays a request: every text the log took in
// between in turn, the bar as it stands then (in real time at most ten times a second). Whatever is still to show is shown before a message
// box or file dialog, when the port closes, by Flush(), and when the sink goes.
class WindowSink : public OperationSink {
public:
    struct Tab {
        std::function<void(const std::string&)> showLog;
        std::function<void(int percent, const std::string& label)> showProgress = {};
        std::function<void()> hideProgress = {};
        std::function<bool()> stopRequested = {};
    };
    WindowSink(Dialogs& dialogs, Host& host, Tab tab);
    ~WindowSink() override;
    WindowSink(WindowSink&&) noexcept = default;
    WindowSink(const WindowSink&) = delete;
    WindowSink& operator=(const WindowSink&) = delete;
    WindowSink& operator=(WindowSink&&) = delete;

    void Log(const std::string& text) override;
    void Live(const std::string& text) override;
    void ClearLog() override;
    void Progress(int percent, const std::string& label) override;
    void HideProgress() override;
    Answer Ask(const Question& question) override;
    void Notify(const Notice& notice) override;
    bool StopRequested() const override;

    // The log as the operation has written it, when the tab starts from the text it already shows.
    void StartFrom(const std::string& shownText);
    // Shows at once what is still to show.
    void Flush();

private:
    // The tab's widgets and what they are still to show. Shared with the host's deferred call,
    // which finds it gone once the sink is.
    struct Screen;

    void ShowLater();

    Dialogs& dialogs_;
    Host& host_;
    std::shared_ptr<Screen> screen_;
};
