#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/OperationSink.h"

// An operation's sink for tests and tools: keeps the log as the window shows it, every progress
// value, every question asked (answered by `answer`, Cancel when unset) and every notice.
class RecordingSink : public OperationSink {
public:
    void Log(const std::string& text) override { log.Log(text); }
    void Live(const std::string& text) override { log.Live(text); }
    void ClearLog() override { log.Clear(); }
    void Progress(int percent, const std::string& label) override
    {
        progress.push_back(percent);
        progressLabel = label;
        progressShown = true;
    }
    void HideProgress() override { progressShown = false; }
    Answer Ask(const Question& question) override
    {
        asked.push_back(question);
        return answer ? answer(question) : Answer::Cancel();
    }
    void Notify(const Notice& notice) override { notices.push_back(notice); }
    bool StopRequested() const override { return stop && stop(); }

    std::string Text() const { return log.Text(); }

    LogText log;
    std::vector<int> progress;
    std::string progressLabel;
    bool progressShown = false;
    std::vector<Question> asked;
    std::vector<Notice> notices;
    std::function<Answer(const Question&)> answer;
    std::function<bool()> stop;
};
