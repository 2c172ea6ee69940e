#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/Operation.h"
#include "link/OperationContext.h"
#include "memory/PageRange.h"

// EEPROM writes of the whole image and of clear-all: 500 blocks of 4 bytes.
constexpr int kEepromUploadBlock = 4;
// A flash page failing more often than this in a row brings the "Max RETRY" question.
constexpr int kMaxPageRetriesInRow = 10;
constexpr double kPageRetryPauseS = 0.2;
constexpr double kReidentifyPauseS = 0.5;

// What the technician chose on the Down mem tab (or on the command line) for an upload.
struct MemoryUploadRequest {
    bool eeprom = false;           // "EEprom"
    bool flash = false;            // "Flash"
    bool recordCountOnly = false;  // "EE  #MIS only": only the stored-record count of the EEPROM image
    bool clearAll = false;         // "EE clear ALL 0xFF": no image, 0xFF into every EEPROM address
    std::string fromPage = "0";    // the page fields, as typed
    std::string toPage = "2047";
    // The page fields take the flash image's own pages when the technician chose them.
    std::function<void(const PageRange&)> showPages = {};
};

struct MemoryUploadResult : OperationResult {
    // The EEPROM stage that ran (to its end or not).
    enum class EepromStage { None, Image, RecordCount, ClearAll };
    EepromStage eepromStage = EepromStage::None;
    bool eepromWritten = false;      // every block of that stage written (and committed)
    std::optional<int> recordCount;  // the count written by a count-only stage
    std::string eepromImage;         // the image file chosen for the EEPROM stage
    std::string flashImage;          // the flash image its pages come from
    std::optional<PageRange> pages;  // the pages the flash stage writes, once settled
    int pagesWritten = 0;            // from pages->first on
};

// The Upload of the Down mem tab, from the confirmation to the last page: asks for the image file,
// identifies the instrument, then clears the whole EEPROM, or writes the EEPROM image (or only its
// stored-record count) and a range of flash pages from a flash image. Everything that can be
// refused (file sizes and names, page ranges, the page-number question) is settled before the
// first write.
MemoryUploadResult UploadMemory(OperationContext& context, const MemoryUploadRequest& request);
