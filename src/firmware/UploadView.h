#pragma once

#include "firmware/PageWriter.h"
#include "link/BootContext.h"

// What the firmware upload needs of the Upload tab: its log box, its progress bar and label, the
// controls that must stay off while it runs, and the speed chosen in the menu.
class UploadView : public LogBox, public UploadProgress {
public:
    // The log is shown at once, before the first wait.
    virtual void RepaintLog() {}
    // `SSTab1`, `mnuSeriale` and `CmdStartProg`.
    virtual void SetControlsEnabled(bool enabled) = 0;
    // `mnu57600` ticked.
    virtual bool Speed57600Chosen() const = 0;
};
