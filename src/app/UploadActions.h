#pragma once

#include "firmware/FirmwareUpload.h"
#include "firmware/PageImage.h"
#include "firmware/UploadView.h"

class Form1;

// The Browse and Start buttons of the Upload tab: the firmware file choice and the programming
// run, shown in the tab's log, progress bar and percentage label.
class UploadActions : public UploadView {
public:
    explicit UploadActions(Form1& form);

    void CmdBrowse_Click();
    void CmdStartProg_Click();
    const FirmwareChoice& Choice() const { return choice_; }

    // UploadView
    std::string Text() const override;
    void SetText(const std::string& text) override;
    void RepaintLog() override;
    void SetBarRange(int minimum, int maximum) override;
    void SetBarValue(int value) override;
    void SetBarVisible(bool visible) override;
    void SetPercentText(const std::string& text) override;
    void SetPercentVisible(bool visible) override;
    void SetControlsEnabled(bool enabled) override;
    bool Speed57600Chosen() const override;

    // The file name shown for a chosen path: the path itself up to 40 characters, else "..." and
    // its last 40 characters.
    static std::string FileCaption(const std::string& path);

private:
    Form1& form_;
    FirmwareChoice choice_;
    PageImage image_;  // about 2 MB, allocated once
};
