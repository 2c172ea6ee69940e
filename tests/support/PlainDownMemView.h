#pragma once

#include <string>

#include "memory/DownMemView.h"

// The Down mem tab as a download sees it, without widgets: the log, the page fields and the boxes.
class PlainDownMemView : public DownMemView {
public:
    std::string Status() const override { return status; }
    void SetStatus(const std::string& text) override { status = text; }
    void SetProgressVisible(bool) override {}
    void SetProgress(int) override {}
    bool EepromChosen() const override { return eeprom; }
    bool FlashChosen() const override { return flash; }
    bool RecordCountRangeChosen() const override { return false; }
    std::string FromPageText() const override { return from; }
    std::string ToPageText() const override { return to; }
    void SetPageTexts(const std::string& first, const std::string& last) override
    {
        from = first;
        to = last;
    }
    bool AbortRequested() const override { return false; }

    std::string status;
    bool eeprom = true;
    bool flash = true;
    std::string from = "3";
    std::string to = "6";
};
