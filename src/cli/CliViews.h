#pragma once

#include <array>
#include <functional>
#include <string>

#include "cli/CliLog.h"
#include "core/Host.h"
#include "link/Identification.h"
#include "memory/DownMemView.h"

// The tabs as a terminal shows them: each log box is the log on standard error, each progress bar
// the progress line, each option box and text field a value taken from the command line.

// Down mem: the option boxes as the command line chose them, pages "0" to "2047" unless given.
struct CliMemoryChoice {
    bool eeprom = false;
    bool flash = false;
    bool recordCountRange = false;  // "Flash #MIS only"
    bool clearAll = false;
    std::string fromPage = "0";
    std::string toPage = "2047";
};

class CliDownMemView : public DownMemView {
public:
    CliDownMemView(CliLog& log, Host& host, CliMemoryChoice choice, const bool& interrupted);

    std::string Status() const override { return status_; }
    void SetStatus(const std::string& text) override;
    void SetProgressVisible(bool visible) override;
    void SetProgress(int percent) override;
    bool EepromChosen() const override { return choice_.eeprom; }
    bool FlashChosen() const override { return choice_.flash; }
    bool RecordCountRangeChosen() const override { return choice_.recordCountRange; }
    std::string FromPageText() const override { return choice_.fromPage; }
    std::string ToPageText() const override { return choice_.toPage; }
    void SetPageTexts(const std::string& from, const std::string& to) override;
    bool AbortRequested() const override { return interrupted_; }
    bool ClearAllChosen() const override { return choice_.clearAll; }
    void UntickEeprom() override { choice_.eeprom = false; }

    const CliMemoryChoice& Choice() const { return choice_; }

private:
    CliLog& log_;
    Host& host_;
    CliMemoryChoice choice_;
    const bool& interrupted_;
    std::string status_;
};
