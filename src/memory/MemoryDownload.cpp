#include "memory/MemoryDownload.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/Paths.h"
#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "link/InstrumentModels.h"
#include "memory/ImageFileWriter.h"
#include "memory/ImageFiles.h"
#include "memory/PageRange.h"
#include "params/ParamCommands.h"

namespace {

constexpr int kEepromLastAddress = kEepromSize - 1;
constexpr int kRangeError = 1;
// Two downloads within one second would get the same names: wait for the next second, a few times.
constexpr int kMaxNameAttempts = 5;
// The EEPROM image grows under this suffix and takes its name once complete.
constexpr const char* kPartSuffix = ".part";

std::string Upper(const std::string& fileName)
{
    return ToUpperAscii(FileNameOfPath(fileName));
}

}  // namespace

MemoryDownload::MemoryDownload(SerialLink& link, Dialogs& dialogs, const ParamCatalogue& catalogue,
                               DownMemView& view, std::string appFolder)
    : link_(link), dialogs_(dialogs), catalogue_(catalogue), view_(view), appFolder_(std::move(appFolder))
{
}

bool MemoryDownload::Aborted() const
{
    return view_.AbortRequested() || link_.host().Quitting();
}

void MemoryDownload::FailWith(const SystemError& error)
{
    failure_ = {TransferFailure::Kind::Other, error.number, error.description};
}

int MemoryDownload::Run()
{
    view_.SetStatus(link_.BaudText);
    int code = Identify();
    if (code == code::kOk)
        code = ReadRecordCount();
    if (code == code::kOk && !ChooseFolder(code))
        return code;
    if (code == code::kOk && view_.EepromChosen())
        code = DownloadEeprom();
    if (code == code::kOk && view_.FlashChosen() && !failure_.failed())
        code = DownloadFlash();
    return code;
}

int MemoryDownload::Identify()
{
    const int opened = link_.InitSeriale(link_.CommPortNumber, link_.BaudText);
    if (opened != code::kOk) {
        // The port's own message has been shown; the operation then fails as a whole.
        const PortOpenResult& error = link_.LastOpenError();
        failure_ = opened == code::kPortMissing
            ? TransferFailure{TransferFailure::Kind::PortMissing, error.errorNumber, error.description}
            : TransferFailure{TransferFailure::Kind::Other, error.errorNumber, error.description};
        return opened;
    }
    const int code = ReadInstrumentInfo(link_, info_);
    if (code == code::kOk)
        view_.SetStatus(info_.Name + "  SN." + info_.SerialNumber + kCrLf);
    else
        view_.SetStatus(std::string(" Serial error !!") + kCrLf + kCrLf + "  Check connection.");
    return code;
}

int MemoryDownload::ReadRecordCount()
{
    const DeviceModel* model = FindDeviceModel(info_.Name);
    const int parameter = model && model->recordCountParam ? *model->recordCountParam : 0;
    if (parameter == 0) {
        recordCount_ = kUnknownRecordCount;
        return code::kOk;
    }
    double value = 0.0;
    const int code = ReadParam(link_, catalogue_, parameter, value);
    if (code == code::kOk)
        recordCount_ = static_cast<int>(std::clamp(value, -1.0e9, 1.0e9));
    return code;
}

bool MemoryDownload::ChooseFolder(int& code)
{
    baseName_ = ImageBaseName(info_, link_.host().LocalNow());
    FileDialogRequest request;
    request.folder = appFolder_;
    request.filter = "Data file | *.*";
    request.suggestedName = JoinPath(appFolder_, baseName_);
    request.confirmOverwrite = true;
    const auto chosen = dialogs_.SaveFile(request);
    if (!chosen) {
        failure_.kind = TransferFailure::Kind::Cancelled;
        code = code::kRefused;
        return false;
    }
    if (chosen->empty()) {
        code = code::kRefused;
        return false;
    }
    folder_ = FolderOfPath(*chosen);
    if (!PickUnusedBaseName()) {
        // Closing the window cuts the wait short; the run then ends as quietly as after Stop.
        if (!link_.host().Quitting())
            failure_ = {TransferFailure::Kind::Other, 17, "Image files named " + baseName_ + " already exist"};
        code = code::kRefused;
        return false;
    }
    view_.SetStatus(info_.Name + "  SN: " + info_.SerialNumber + kCrLf);
    return true;
}

bool MemoryDownload::PickUnusedBaseName()
{
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        if (!ImageBaseInUse(folder_, baseName_))
            return true;
        link_.Delay(1.0);
        baseName_ = ImageBaseName(info_, link_.host().LocalNow());
    }
    return !ImageBaseInUse(folder_, baseName_);
}

int MemoryDownload::DownloadEeprom()
{
    view_.AppendStatus("Download Eeprom  ...");
    const std::string path = JoinPath(folder_, EepromImageName(baseName_));
    // The image takes its name only when complete; the file it grows in is created first, so a
    // folder that cannot be written is reported before anything is read.
    const std::string partPath = path + kPartSuffix;
    ImageFileWriter file;
    if (!file.Create(partPath)) {
        FailWith(file.Error());
        return code::kRefused;
    }
    const std::string before = view_.Status();
    Bytes image;
    image.reserve(kEepromSize);
    int code = code::kOk;
    for (int address = 0; address <= kEepromLastAddress && !Aborted() && code == code::kOk;
         address += kEepromBlockSize) {
        view_.SetStatus(before + kCrLf + "Addr: " + ZeroPadded(address, 4));
        Bytes block;
        std::string message;
        code = ReadEepromBlock(link_, address, block, message);
        if (code == code::kOk)
            image.insert(image.end(), block.begin(), block.end());
        else if (!message.empty())
            view_.AppendStatus(kCrLf + message);
    }
    const auto discard = [&] {
        file.Close();
        std::remove(partPath.c_str());
    };
    if (code != code::kOk || Aborted()) {
        discard();
        view_.AppendStatus(std::string(kCrLf) + " Aborted ... ");
        return code::kRefused;
    }
    if (!file.Append(image.data(), image.size()) || !file.Close()) {
        FailWith(file.Error());
        discard();
        return code::kRefused;
    }
    if (std::rename(partPath.c_str(), path.c_str()) != 0) {
        FailWith(LastSystemError());
        discard();
        return code::kRefused;
    }
    view_.SetStatus(before + "  OK" + kCrLf + " " + Upper(path) + kCrLf + kCrLf);
    return code::kOk;
}

bool MemoryDownload::TakePageRange(int& first, int& last)
{
    first = PageFieldNumber(view_.FromPageText());
    last = PageFieldNumber(view_.ToPageText());
    if (view_.RecordCountRangeChosen()) {
        first = 0;
        last = static_cast<int>(std::floor((recordCount_ + 1) / 2.0)) + 22;
        view_.AppendStatus("  #mis: " + std::to_string(recordCount_));
    }
    view_.SetPageTexts(std::to_string(first), std::to_string(last));
    const std::string errors = PageRangeErrors(first, last);
    view_.AppendStatus(errors);
    return errors.empty();
}

int MemoryDownload::DownloadFlash()
{
    view_.AppendStatus("Download  FLASH 8M ...");
    int first = 0;
    int last = 0;
    if (!TakePageRange(first, last)) {
        view_.AppendStatus(std::string(kCrLf) + " Aborted ... ");
        return kRangeError;
    }

    const std::string path = JoinPath(folder_, FlashImageName(baseName_, first, last));
    ImageFileWriter file;
    if (!file.Create(path)) {
        FailWith(file.Error());
        return code::kRefused;
    }
    const double step = 100.0 / (last + 1);
    double progress = 0.0;
    view_.SetProgress(0);
    view_.SetProgressVisible(true);
    const std::string before = view_.Status();
    int page = first;
    int failuresInRow = 0;
    int retries = 0;
    bool done = false;
    int code = code::kOk;
    while (failuresInRow < kMaxConsecutivePageFailures && !Aborted() && !done) {
        std::string line = before + kCrLf + "  Page N°: " + std::to_string(page) + "/" + std::to_string(last);
        if (retries > 0)
            line += "  (retry:" + std::to_string(retries) + ")";
        view_.SetStatus(line);

        FlashPageRecord record;
        record.FirstPage = page;
        record.LastPage = page;
        code = ReadFlashPages(link_, record);
        if (code == code::kOk) {
            if (!file.Append(record.Data.data(), static_cast<std::size_t>(record.Count))) {
                FailWith(file.Error());
                break;
            }
            failuresInRow = 0;
            ++page;
            done = page > last;
        } else {
            ++failuresInRow;
            ++retries;
        }
        progress = std::min(100.0, progress + step);
        // Rounded, not truncated: the sum of the steps can fall a hair short of 100 on the last page.
        view_.SetProgress(static_cast<int>(std::lround(progress)));
    }
    file.Close();
    view_.SetProgressVisible(false);
    if (done && !Aborted() && !failure_.failed()) {
        view_.SetStatus(before + "  OK" + kCrLf + " " + Upper(path));
        return code::kOk;
    }
    // The image stops early: it is kept, and the log tells what it holds.
    const auto pages = file.Size() / kFlashPageSize;
    view_.AppendStatus(std::string(kCrLf) + " Aborted ... " + kCrLf + " Kept: " + Upper(path) + "  (" +
                       std::to_string(pages) + (pages == 1 ? " whole page)" : " whole pages)"));
    if (failure_.failed())
        return code::kRefused;
    return code == code::kOk ? code::kRefused : code;
}
