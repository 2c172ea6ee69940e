#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/Bytes.h"
#include "core/Dialogs.h"
#include "link/SerialLink.h"
#include "memory/DownMemView.h"

class ImageFileReader;

// EEPROM writes of the whole image and of clear-all: 500 blocks of 4 bytes.
constexpr int kEepromUploadBlock = 4;
// A flash page failing more often than this in a row brings the "Max RETRY" question.
constexpr int kMaxPageRetriesInRow = 10;
constexpr double kPageRetryPauseS = 0.2;
constexpr double kReidentifyPauseS = 0.5;

// The Upload operation of the Down mem tab, from the confirmation to the last page: asks for the
// image file, identifies the instrument, then clears the whole EEPROM, or writes the EEPROM image
// (or only its stored-record count) and a range of flash pages from a flash image. Everything
// that can be refused (file sizes and names, page ranges, the page-number question) is settled
// before the first write. The tab owns the buttons, captions and tab locks around it.
class MemoryUpload {
public:
    MemoryUpload(SerialLink& link, Dialogs& dialogs, DownMemView& view, std::string appFolder);

    // The final code (0 when every chosen stage completed).
    int Run();
    // Set when the operation ended through an unexpected failure or a cancelled dialog.
    const TransferFailure& Failure() const { return failure_; }

private:
    // What the EEPROM stage writes: the whole image, or two bytes at the record count's address.
    struct EepromPlan {
        bool countOnly = false;
        int address = 0;
        Bytes data;
        std::string tag;
    };
    // What the flash stage writes: pages first..last, taken from `pages` in order.
    struct FlashPlan {
        int first = 0;
        int last = 0;
        Bytes pages;
    };

    bool Confirmed();
    int ChooseFile();
    int Identify();
    int Prepare();
    int PrepareEeprom();
    int PrepareRecordCount(ImageFileReader& file);
    int PrepareFlash();
    int RefuseFlash(const std::string& reason);
    int ClearAll();
    int UploadEeprom();
    int WriteEepromImage(std::string& before);
    int WriteRecordCount(std::string& before);
    // The last answer received and " Aborted ... ", after an EEPROM write that failed or a Stop.
    void AppendEepromAbort(int code);
    int UploadFlash();
    bool Aborted() const;
    void FailWithSystemError();
    std::string FlashHeader() const;

    SerialLink& link_;
    Dialogs& dialogs_;
    DownMemView& view_;
    std::string appFolder_;

    std::string chosenPath_;
    std::string chosenName_;
    std::string flashImagePath_;  // empty: no flash image
    std::optional<EepromPlan> eeprom_;
    std::optional<FlashPlan> flash_;
    TransferFailure failure_;
};
