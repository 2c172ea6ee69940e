#include "cli/CliViews.h"

#include <utility>

CliDownMemView::CliDownMemView(CliLog& log, Host& host, CliMemoryChoice choice, const bool& interrupted)
    : log_(log), host_(host), choice_(std::move(choice)), interrupted_(interrupted)
{
}

void CliDownMemView::SetStatus(const std::string& text)
{
    status_ = text;
    log_.Update(text);
}

void CliDownMemView::SetProgressVisible(bool visible)
{
    if (!visible)
        log_.HideProgress();
}

void CliDownMemView::SetProgress(int percent)
{
    log_.SetProgress(percent, host_.Now());
}

void CliDownMemView::SetPageTexts(const std::string& from, const std::string& to)
{
    choice_.fromPage = from;
    choice_.toPage = to;
}

