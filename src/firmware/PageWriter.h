#pragma once

#include <cstdint>
#include <string>

#include "core/OperationSink.h"
#include "firmware/BootClient.h"
#include "firmware/PageImage.h"

// 100 / (pages + 1), in single precision: the last page shows a little under 100.
float PercentStep(int pageCount);
// k pages done: the bar's value (a half goes to the even neighbour) and the label's text
// (a half goes away from zero), e.g. "37%".
int BarValue(int pagesDone, float step);
std::string PercentText(int pagesDone, float step);

// Page p is written at 0x08000000 + p * 256.
std::uint32_t PageAddress(int page);

// How far a page writer came: the pages acknowledged, and why it stopped before the last.
struct PagesWritten {
    int pages = 0;
    BootError error = BootError::None;

    bool complete() const { return error == BootError::None; }
};

// Write Memory of every page of the image, from page 0, the log line counting the page under way
// (" Page 3/9 ...") and the progress with its percentage. Stops at the first page not acknowledged,
// the bytes that came back in the log.
PagesWritten WritePagesDirect(BootClient& client, const PageImage& image, OperationSink& sink);
// The same through the running CPU board, the log counting the pages done ("Prog. N.3/9"), the
// progress without a percentage; a failure leaves no text (the caller reports).
PagesWritten WritePagesTunnel(BootClient& client, const PageImage& image, OperationSink& sink);

// How far a read-back came: the pages that read back as written, and why it stopped before the
// last: a Read Memory not answered, or a page that reads back otherwise (`differs`).
struct PagesVerified {
    int pages = 0;
    BootError error = BootError::None;
    bool differs = false;

    bool complete() const { return error == BootError::None && !differs; }
};

// Read Memory of every page written (direct route), each compared with its page of the image, the
// log counting the page under way (" Verify      : page 3/9 ...") and the progress with its
// percentage; then " Verify      : OK", or " Verify      : error at page 3" at the first page that
// cannot be read or reads back otherwise.
PagesVerified VerifyPagesDirect(BootClient& client, const PageImage& image, OperationSink& sink);
