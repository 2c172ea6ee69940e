#pragma once

#include "memory/DownMemView.h"

class Form1;

// The Info, Download and Upload buttons of the Down mem tab, and the Stop function of its transfers.
class DownMemActions : public DownMemView {
public:
    explicit DownMemActions(Form1& form);

    void cmdDownInfo_Click();
    void cmdDownDwData_Click();
    void cmdDownUpData_Click();
    bool TransferAbort() const { return transferAbort_; }

    std::string Status() const override;
    void SetStatus(const std::string& text) override;
    void SetProgressVisible(bool visible) override;
    void SetProgress(int percent) override;
    bool EepromChosen() const override;
    bool FlashChosen() const override;
    bool RecordCountRangeChosen() const override;
    std::string FromPageText() const override;
    std::string ToPageText() const override;
    void SetPageTexts(const std::string& from, const std::string& to) override;
    bool AbortRequested() const override { return transferAbort_; }
    bool ClearAllChosen() const override;
    bool RecordCountOnlyChosen() const override;
    void UntickEeprom() override;
    void Repaint() override;

private:
    // A click on a transfer button that reads "Stop" or "Wait ..": true when it was one.
    bool HandledAsStop(class QPushButton* button);
    void ReportFailure(const TransferFailure& failure);
    void EndDownload();
    void EndUpload();

    Form1& form_;
    bool transferAbort_ = false;
};
