#pragma once

#include <string>

#include "core/Dialogs.h"
#include "link/Identification.h"
#include "link/SerialLink.h"
#include "memory/DownMemView.h"
#include "memory/ImageFileWriter.h"
#include "params/ParamCatalogue.h"

// Stored-record count of a device that is in neither group.
constexpr int kUnknownRecordCount = 9999;
constexpr int kMaxConsecutivePageFailures = 5;

// The Download operation of the Down mem tab, from opening the port to the last page: identifies
// the instrument, reads its stored-record count, asks for the folder, then saves the EEPROM image
// and a range of flash pages. The tab owns the buttons, captions and tab locks around it.
class MemoryDownload {
public:
    MemoryDownload(SerialLink& link, Dialogs& dialogs, const ParamCatalogue& catalogue, DownMemView& view,
                   std::string appFolder);

    // The final code (0 when every chosen stage completed).
    int Run();
    // Set when the operation ended through an unexpected failure (the tab reports it).
    const TransferFailure& Failure() const { return failure_; }

    const InstrumentInfo& Info() const { return info_; }
    int RecordCount() const { return recordCount_; }

private:
    int Identify();
    int ReadRecordCount();
    bool ChooseFolder(int& code);
    bool PickUnusedBaseName();
    int DownloadEeprom();
    int DownloadFlash();
    bool TakePageRange(int& first, int& last);
    bool Aborted() const;
    void FailWith(const SystemError& error);

    SerialLink& link_;
    Dialogs& dialogs_;
    const ParamCatalogue& catalogue_;
    DownMemView& view_;
    std::string appFolder_;

    InstrumentInfo info_;
    int recordCount_ = 0;
    std::string folder_;
    std::string baseName_;
    TransferFailure failure_;
};
