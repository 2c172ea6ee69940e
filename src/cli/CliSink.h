#pragma once

#include <string>
#include <vector>

#include "cli/CliDialogs.h"
#include "cli/CliLog.h"
#include "core/Host.h"
#include "core/OperationSink.h"

// How servicetool-cli answers an operation's questions: from its options, never by guessing.
struct CliAnswers {
    bool yes = false;    // --yes: the write is confirmed, a flash image goes to its own pages
    std::string folder;  // where a download saves its images
    std::string file;    // the file the command names (an image to write, a register file, or the
                         // folder a register file is saved in)
};

// An operation's sink on the command line: the log on standard error as the window's log box
// shows it, the progress line, questions answered from the options (any other is refused and
// remembered), notices printed as the window's message boxes would show them.
class CliSink : public OperationSink {
public:
    CliSink(CliLog& log, CliDialogs& notices, Host& host, CliAnswers answers, const bool& interrupted)
        : log_(log), notices_(notices), host_(host), answers_(std::move(answers)), interrupted_(interrupted)
    {
    }

    void Log(const std::string& text) override;
    void Live(const std::string& text) override;
    void ClearLog() override;
    void Progress(int percent, const std::string& label) override;
    void HideProgress() override;
    Answer Ask(const Question& question) override;
    void Notify(const Notice& notice) override;
    bool StopRequested() const override { return interrupted_; }

    // The log text as the window would show it.
    std::string Text() const { return text_.Text(); }
    // True when a question of kind Q was asked and refused.
    template <typename Q>
    bool Declined() const
    {
        for (const Question& q : declined_)
            if (std::holds_alternative<Q>(q))
                return true;
        return false;
    }

private:
    Answer Decline(const Question& question, Answer refusal);

    CliLog& log_;
    CliDialogs& notices_;
    Host& host_;
    CliAnswers answers_;
    const bool& interrupted_;
    LogText text_;
    std::vector<Question> declined_;
};
