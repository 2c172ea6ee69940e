#pragma once

#include <functional>
#include <string>

#include "core/Dialogs.h"
#include "core/OperationSink.h"

// An operation's sink in the window: its log goes to a tab's status box, its questions to message
// boxes and file dialogs, its notices to message boxes. A tab with a progress bar or a Stop button
// gives the functions for them.
class WindowSink : public OperationSink {
public:
    struct Tab {
        std::function<void(const std::string&)> showLog;
        std::function<void(int percent, const std::string& label)> showProgress = {};
        std::function<void()> hideProgress = {};
        std::function<bool()> stopRequested = {};
    };
    WindowSink(Dialogs& dialogs, Tab tab) : dialogs_(dialogs), tab_(std::move(tab)) {}

    void Log(const std::string& text) override;
    void Live(const std::string& text) override;
    void ClearLog() override;
    void Progress(int percent, const std::string& label) override;
    void HideProgress() override;
    Answer Ask(const Question& question) override;
    void Notify(const Notice& notice) override;
    bool StopRequested() const override { return tab_.stopRequested && tab_.stopRequested(); }

    // The log as the operation has written it, when the tab starts from the text it already shows.
    void StartFrom(const std::string& shownText);

private:
    void Show() { tab_.showLog(text_.Text()); }

    Dialogs& dialogs_;
    Tab tab_;
    LogText text_;
};
