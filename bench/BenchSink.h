#pragma once

#include <cstdio>
#include <string>

#include "core/Host.h"
#include "support/RecordingSink.h"

// A transfer's sink for the benchmarks: every question answered Yes (a file question with `path`),
// the progress reported every 10 % on stderr, and the time the log first shows `stageText`.
class BenchSink : public RecordingSink {
public:
    BenchSink(Host& host, std::string path, std::string stageText)
        : host_(host), stageText_(std::move(stageText))
    {
        answer = [path = std::move(path)](const Question& question) {
            return FileDialogOf(question) ? Answer::Path(path) : Answer::Yes();
        };
    }

    double stageStart = -1.0;

    void Log(const std::string& text) override
    {
        RecordingSink::Log(text);
        if (stageStart < 0.0 && text.find(stageText_) != std::string::npos)
            stageStart = host_.Now();
    }
    void Progress(int percent, const std::string& label) override
    {
        RecordingSink::Progress(percent, label);
        if (percent / 10 > shownTenth_) {
            shownTenth_ = percent / 10;
            std::fprintf(stderr, "  %3d %% at %.1f s\n", percent, host_.Now());
        }
    }

private:
    Host& host_;
    std::string stageText_;
    int shownTenth_ = 0;
};
