#pragma once

#include <string>

#include "firmware/BootClient.h"
#include "firmware/PageImage.h"
#include "firmware/UploadView.h"
#include "link/SerialLink.h"

// The file choice of the Upload tab, read by the programming run.
struct FirmwareChoice {
    std::string FirmwareFile;     // image fillArray loads
    std::string ChosenFile;       // path picked in the dialog
    std::string ChosenTitle;      // its name without folder
    std::string ChosenFolder;     // its folder, separator included
    std::string MisFirmwareFile;  // MIS-board image named by a package
};

// Seconds the package flow waits for the new CPU firmware to answer.
constexpr int kPowerOnTimeoutS = 15;

// Programming one board straight through its bootloader, or a two-board package: the CPU board
// first, then, once the operator has switched the instrument on, the MIS board through it.
// Every way out closes the port and gives the controls back.
class FirmwareUpload {
public:
    FirmwareUpload(SerialLink& link, UploadView& view, FirmwareChoice& choice, PageImage& image);

    // CmdStartProg for the target selected by name: from disabling the controls to the closing step.
    // True when every board of the flow was programmed. A chosen file that the target's file dialog
    // would not offer is refused with one log line before anything is sent.
    bool RunForTarget(const std::string& targetName);
    // The same without a target, for a front end that has checked the file itself (the command
    // line, tools).
    bool Run(bool package);

    // Board sequences; a failure leaves its text in ErrText.
    bool UploadDirect();
    bool UploadCpuBoard();
    bool UploadMisBoard();
    // 0xD0: opens the pass-through to the MIS board. 0xD4 0x00: the link goes to 57600 baud.
    bool SendBootCommand();
    void SendLinkSpeed();

    BootClient& Client() { return client_; }

private:
    // `refusal`: why the chosen file is not programmed (empty when it is).
    bool RunChecked(bool package, const std::string& refusal);
    bool SingleBoardFlow();
    bool PackageFlow();
    // Waits for the switched-on instrument to identify itself; false on the time-out.
    bool WaitForInstrument();
    // Loads the image before anything is erased; false with the reason in the log.
    bool LoadImage(const std::string& path, bool lineBreak);
    bool DirectSequence(const char* loadError, bool ownTexts);
    // The line saying how to start the bootloader again, when the board's sync failed.
    void AdviseAfterFailedSync(const char* advice);
    void Append(const std::string& text) { view_.Append(text); }
    bool Quitting() const { return link_.host().Quitting(); }

    SerialLink& link_;
    UploadView& view_;
    FirmwareChoice& choice_;
    PageImage& image_;
    BootClient client_;
    bool syncFailed_ = false;  // the board's bootloader did not answer its sync
};
