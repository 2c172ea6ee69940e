#include "cli/CliViews.h"

#include <utility>

CliUploadView::CliUploadView(CliLog& log, Host& host, bool speed57600)
    : log_(log), host_(host), speed57600_(speed57600)
{
}

void CliUploadView::SetText(const std::string& text)
{
    text_ = text;
    log_.Update(text);
}

void CliUploadView::SetBarVisible(bool visible)
{
    if (!visible)
        log_.HideProgress();
}

void CliUploadView::SetBarValue(int value)
{
    log_.SetProgress(value, host_.Now());
}

CliServiceView::CliServiceView(CliLog& log, std::string command, int entryIndex, std::string entryText)
    : log_(log), command_(std::move(command)), entryIndex_(entryIndex), entryText_(std::move(entryText))
{
}

void CliServiceView::SetLog(const std::string& text)
{
    log_text_ = text;
    log_.Update(text);
}
