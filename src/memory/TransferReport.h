#pragma once

#include <optional>
#include <string>

#include "core/Operation.h"
#include "core/OperationSink.h"
#include "link/OperationContext.h"
#include "memory/ImageFileWriter.h"

// The "Routine <cmdFlash>" box of a transfer that ended through a failure outside the instrument's
// answers: "Porta seriale non disponibile" for a port that does not exist, else the error's number
// and text. Nothing for the other ways out.
std::optional<Notice> TransferFailureNotice(const Interruption& interruption);

// A transfer's log: written to the sink and kept, so the run can give it as the reason of a
// failure the log itself states (" Aborted ... ", a refused range, " Process ABORTED").
class TransferLog {
public:
    explicit TransferLog(OperationSink& sink) : sink_(sink) {}

    void Log(const std::string& text)
    {
        text_.Log(text);
        sink_.Log(text);
    }
    void Live(const std::string& text)
    {
        text_.Live(text);
        sink_.Live(text);
    }
    std::string Text() const { return text_.Text(); }

private:
    OperationSink& sink_;
    LogText text_;
};

// What a download and an upload share on their way: the log, Stop, and how the run ends.
class TransferRun {
public:
    TransferRun(OperationContext& context, OperationResult& result)
        : log(context.sink), context_(context), result_(result)
    {
    }

    // Stop was pressed (or Ctrl-C), or the program is ending.
    bool Stopping() const;
    // The first way out other than the instrument's answers is the one the result gives.
    void Interrupt(Interruption::Kind kind, int number = 0, const std::string& description = {});
    void FailWith(const SystemError& error) { Interrupt(Interruption::Kind::SystemError, error.number, error.description); }
    // The port's own message has been shown; the run then fails as a whole.
    void PortNotOpened(int code);
    // The log states why the run failed.
    void Said() { said_ = true; }

    // The result's code and reason: the box of a failure outside the instrument's answers (shown
    // now), else the reason given with a question declined, else the log where it states the
    // failure, else the reason already given, else what came back.
    void End(int code);

    TransferLog log;

private:
    OperationContext& context_;
    OperationResult& result_;
    bool said_ = false;
};
