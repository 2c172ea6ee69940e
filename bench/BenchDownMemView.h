#pragma once

#include <cstdio>
#include <string>

#include "core/Host.h"
#include "memory/DownMemView.h"

// The Down mem tab without widgets: both memories chosen, the page range given, no Stop. Reports
// the progress every 10 % on stderr and notes when the status first shows the flash stage.
class BenchDownMemView : public DownMemView {
public:
    BenchDownMemView(Host& host, int first, int last, std::string flashStageText)
        : host_(host), flashStageText_(std::move(flashStageText)), from_(std::to_string(first)), to_(std::to_string(last))
    {
    }

    double flashStageStart = -1.0;

    std::string Status() const override { return status_; }
    void SetStatus(const std::string& text) override
    {
        status_ = text;
        if (flashStageStart < 0.0 && status_.find(flashStageText_) != std::string::npos)
            flashStageStart = host_.Now();
    }
    void SetProgressVisible(bool) override {}
    void SetProgress(int percent) override
    {
        if (percent / 10 > shownTenth_) {
            shownTenth_ = percent / 10;
            std::fprintf(stderr, "  %3d %% at %.1f s\n", percent, host_.Now());
        }
    }
    bool EepromChosen() const override { return true; }
    bool FlashChosen() const override { return true; }
    bool RecordCountRangeChosen() const override { return false; }
    std::string FromPageText() const override { return from_; }
    std::string ToPageText() const override { return to_; }
    void SetPageTexts(const std::string& from, const std::string& to) override
    {
        from_ = from;
        to_ = to;
    }
    bool AbortRequested() const override { return false; }

private:
    Host& host_;
    std::string flashStageText_;
    std::string status_;
    std::string from_;
    std::string to_;
    int shownTenth_ = 0;
};
