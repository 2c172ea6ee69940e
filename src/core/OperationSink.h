#pragma once

#include <string>

#include "core/Questions.h"

// Where an operation's log, progress, questions and notices go: the tab's log box, progress bar,
// message boxes and file dialogs in the window; standard error, the progress line and the options
// on the command line.
//
// The log is text appended as the operation goes (CR LF between lines) followed by a live part
// that the operation keeps replacing (a page counter, a wait): `Live` replaces that part, `Log`
// keeps it where it stands and appends after it, so `Live("")` then `Log(text)` replaces it.
class OperationSink {
public:
    virtual ~OperationSink() = default;

    virtual void Log(const std::string& text) = 0;
    virtual void Live(const std::string& text) = 0;
    // Empties the log: the operation's log starts afresh.
    virtual void ClearLog() = 0;

    // Progress of a transfer: the bar's value 0..100 and, where the tab shows one, its label ("37%").
    virtual void Progress(int percent, const std::string& label) = 0;
    virtual void HideProgress() = 0;

    virtual Answer Ask(const Question& question) = 0;
    virtual void Notify(const Notice& notice) = 0;

    // Stop was pressed (or Ctrl-C): the operation ends at its next safe point.
    virtual bool StopRequested() const { return false; }
};

// The log text a window shows: the appended text followed by the live part. Front ends and tests
// that keep the whole text use it.
class LogText {
public:
    void Log(const std::string& text)
    {
        done_ += live_ + text;
        live_.clear();
    }
    void Live(const std::string& text) { live_ = text; }
    void Clear()
    {
        done_.clear();
        live_.clear();
    }
    std::string Text() const { return done_ + live_; }
    const std::string& Done() const { return done_; }
    const std::string& LivePart() const { return live_; }

private:
    std::string done_;
    std::string live_;
};
