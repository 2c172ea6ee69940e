#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Operation.h"
#include "link/Identification.h"
#include "link/OperationContext.h"
#include "memory/PageRange.h"
#include "params/ParamCatalogue.h"

// Stored-record count of a device that is in neither group.
constexpr int kUnknownRecordCount = 9999;
constexpr int kMaxConsecutivePageFailures = 5;

// What the technician chose on the Down mem tab (or on the command line) for a download.
struct DownloadRequest {
    const ParamCatalogue& catalogue;  // reads the stored-record count
    bool eeprom = true;               // "EEprom"
    bool flash = true;                // "Flash"
    bool recordCountRange = false;    // "Flash #MIS only": pages 0 to (count + 1) / 2 + 22
    std::string fromPage = "0";       // the page fields, as typed
    std::string toPage = "2047";
    // The page fields take the pages the flash stage reads, once settled (also when they are refused).
    std::function<void(const PageRange&)> showPages = {};
};

struct DownloadResult : OperationResult {
    bool identified = false;
    InstrumentInfo instrument;
    std::optional<int> recordCount;
    std::optional<PageRange> pages;  // the pages the flash stage read, once accepted
    // The images saved, .epr first: complete, or a flash image stopped early with its whole pages.
    std::vector<std::string> files;
    int pagesSaved = 0;              // whole pages in the flash image
};

// The Download of the Down mem tab, from opening the port to the last page: identifies the
// instrument, reads its stored-record count, asks for the folder, then saves the EEPROM image and
// a range of flash pages.
DownloadResult DownloadMemory(OperationContext& context, const DownloadRequest& request);

// The Down mem tab's Info: who the instrument is ("NAME SN:SERIAL  fw:VERSION"), or the serial
// error with the bytes received.
struct DownMemInfoResult : OperationResult {
    bool identified = false;
    InstrumentInfo instrument;
};
DownMemInfoResult ReadDownMemInfo(OperationContext& context);
