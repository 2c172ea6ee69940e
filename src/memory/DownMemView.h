#pragma once

#include <string>

// What the memory transfers need of the Down mem tab: its options, its page fields, its log and
// its progress bar.
class DownMemView {
public:
    virtual ~DownMemView() = default;

    virtual std::string Status() const = 0;
    virtual void SetStatus(const std::string& text) = 0;
    void AppendStatus(const std::string& text) { SetStatus(Status() + text); }

    virtual void SetProgressVisible(bool visible) = 0;
    virtual void SetProgress(int percent) = 0;

    virtual bool EepromChosen() const = 0;          // "EEprom" ticked
    virtual bool FlashChosen() const = 0;           // "Flash" ticked
    virtual bool RecordCountRangeChosen() const = 0; // "Flash #MIS only" shown and ticked
    virtual std::string FromPageText() const = 0;
    virtual std::string ToPageText() const = 0;
    virtual void SetPageTexts(const std::string& from, const std::string& to) = 0;

    // Stop was pressed (or the program is ending).
    virtual bool AbortRequested() const = 0;

    // Upload options; a view that does not offer them leaves them off.
    virtual bool ClearAllChosen() const { return false; }        // "EE clear ALL 0xFF" shown and ticked
    virtual bool RecordCountOnlyChosen() const { return false; } // "EE  #MIS only" ticked
    virtual void UntickEeprom() {}                               // "EEprom" unticked
    // Shows the log and the page fields at once, before the next exchange.
    virtual void Repaint() {}
};

// A failure outside the instrument's answers: the operation stops and the tab reports it.
struct TransferFailure {
    enum class Kind { None, Cancelled, PortMissing, Other };
    Kind kind = Kind::None;
    int number = 0;
    std::string description;

    bool failed() const { return kind != Kind::None; }
};
