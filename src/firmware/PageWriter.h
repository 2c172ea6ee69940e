#pragma once

#include <string>

#include "firmware/BootClient.h"
#include "firmware/PageImage.h"

// The progress bar (`PrgBar1`, 0..100) and percentage label (`lblPercUpload`) of the Upload tab.
class UploadProgress {
public:
    virtual ~UploadProgress() = default;
    virtual void SetBarRange(int minimum, int maximum) = 0;
    virtual void SetBarValue(int value) = 0;
    virtual void SetBarVisible(bool visible) = 0;
    virtual void SetPercentText(const std::string& text) = 0;
    virtual void SetPercentVisible(bool visible) = 0;
};

// 100 / (pages + 1), in single precision: the last page shows a little under 100.
float PercentStep(int pageCount);
// k pages done: the bar's value (a half goes to the even neighbour) and the label's text
// (a half goes away from zero), e.g. "37%".
int BarValue(int pagesDone, float step);
std::string PercentText(int pagesDone, float step);

// Page p is written at 0x08000000 + p * 256.
std::array<std::uint8_t, 4> PageAddress(int page);

// Write Memory of pages 0..PageCount-1, straight to the bootloader. Stops at the first page not
// acknowledged, with the bytes that came back in the log.
bool WritePagesDirect(BootClient& client, const PageImage& image, UploadProgress& progress);
// The same through the running CPU board; a failure leaves no text (the caller reports).
bool WritePagesTunnel(BootClient& client, const PageImage& image, UploadProgress& progress);
