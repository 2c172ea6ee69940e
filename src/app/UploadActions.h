#pragma once

#include <string>

class Form1;

// The Browse and Start buttons of the Upload tab: the firmware file choice, and UploadFirmware
// shown in the tab's log, progress bar and percentage label.
class UploadActions {
public:
    explicit UploadActions(Form1& form);

    void CmdBrowse_Click();
    void CmdStartProg_Click();
    // The path chosen last in the file dialog.
    const std::string& ChosenFile() const { return chosenFile_; }

    // The file name shown for a chosen path: the path itself up to 40 characters, else "..." and
    // its last 40 characters.
    static std::string FileCaption(const std::string& path);

private:
    // `SSTab1`, `mnuSeriale` and `CmdStartProg`, off while programming runs.
    void SetControlsEnabled(bool enabled);

    Form1& form_;
    std::string chosenFile_;
};
