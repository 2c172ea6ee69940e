#include "memory/MemoryDownload.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/Files.h"
#include "core/Paths.h"
#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "link/Identify.h"
#include "link/InstrumentModels.h"
#include "memory/ImageFileWriter.h"
#include "memory/ImageFiles.h"
#include "memory/TransferReport.h"
#include "params/ParamCommands.h"

namespace {

constexpr int kEepromLastAddress = kEepromSize - 1;
constexpr int kRangeError = 1;
// Two downloads within one second would get the same names: wait for the next second, a few times.
constexpr int kMaxNameAttempts = 5;
// The EEPROM image grows under this suffix and takes its name once complete.
constexpr const char* kPartSuffix = ".part";
// Files named this way already exist.
constexpr int kNameInUse = 17;

const std::string kAborted = std::string(kCrLf) + " Aborted ... ";

std::string Upper(const std::string& fileName)
{
    return ToUpperAscii(FileNameOfPath(fileName));
}

class DownloadRun {
public:
    DownloadRun(OperationContext& context, const DownloadRequest& request)
        : context_(context), link_(context.link), request_(request), transfer_(context, result_), closer_(context.link)
    {
    }

    DownloadResult Run()
    {
        transfer_.log.Live(link_.BaudText);
        int code = Identify();
        if (code == code::kOk)
            code = ReadRecordCount();
        if (code == code::kOk && !ChooseFolder(code))
            return End(code);
        if (code == code::kOk && request_.eeprom)
            code = DownloadEeprom();
        if (code == code::kOk && request_.flash && !result_.interruption.happened())
            code = DownloadFlash();
        return End(code);
    }

private:
    DownloadResult End(int code)
    {
        transfer_.End(code);
        return result_;
    }

    int Identify()
    {
        const Identified identified = OpenAndIdentify(link_);
        if (!identified.portOpened) {
            transfer_.PortNotOpened(identified.code);
            return identified.code;
        }
        if (!identified.ok()) {
            transfer_.log.Live(SerialErrorText());
            transfer_.Said();
            return identified.code;
        }
        result_.identified = true;
        result_.instrument = identified.info;
        transfer_.log.Live(Instrument().Name + "  SN." + Instrument().SerialNumber + kCrLf);
        return code::kOk;
    }

    const InstrumentInfo& Instrument() const { return result_.instrument; }

    int ReadRecordCount()
    {
        const DeviceModel* model = FindDeviceModel(Instrument().Name);
        const int parameter = model && model->recordCountParam ? *model->recordCountParam : 0;
        if (parameter == 0) {
            result_.recordCount = kUnknownRecordCount;
            return code::kOk;
        }
        double value = 0.0;
        const int code = ReadParam(link_, request_.catalogue, parameter, value);
        if (code == code::kOk)
            result_.recordCount = static_cast<int>(std::clamp(value, -1.0e9, 1.0e9));
        return code;
    }

    bool ChooseFolder(int& code)
    {
        baseName_ = ImageBaseName(Instrument(), link_.host().LocalNow());
        const Answer chosen = context_.sink.Ask(question::DownloadFolder{context_.appFolder, baseName_});
        code = code::kRefused;
        if (!chosen.yes() || chosen.path.empty()) {
            transfer_.Interrupt(Interruption::Kind::Declined);
            return false;
        }
        folder_ = FolderOfPath(chosen.path);
        if (!PickUnusedBaseName()) {
            // Closing the window cuts the wait short; the run then ends as quietly as after Stop.
            if (link_.host().Quitting())
                transfer_.Interrupt(Interruption::Kind::Stopped);
            else
                transfer_.Interrupt(Interruption::Kind::SystemError, kNameInUse,
                                    "Image files named " + baseName_ + " already exist");
            return false;
        }
        transfer_.log.Live(Instrument().Name + "  SN: " + Instrument().SerialNumber + kCrLf);
        code = code::kOk;
        return true;
    }

    bool PickUnusedBaseName()
    {
        for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
            if (!ImageBaseInUse(folder_, baseName_))
                return true;
            link_.Delay(1.0);
            baseName_ = ImageBaseName(Instrument(), link_.host().LocalNow());
        }
        return !ImageBaseInUse(folder_, baseName_);
    }

    // The stage ended early: Stop, or what the log has just said.
    int Abandon(const std::string& logText, int code)
    {
        transfer_.log.Log(logText);
        transfer_.Said();
        if (transfer_.Stopping())
            transfer_.Interrupt(Interruption::Kind::Stopped);
        return code;
    }

    int DownloadEeprom()
    {
        transfer_.log.Log("Download Eeprom  ...");
        const std::string path = JoinPath(folder_, EepromImageName(baseName_));
        // The image takes its name only when complete; the file it grows in is created first, so a
        // folder that cannot be written is reported before anything is read.
        const std::string partPath = path + kPartSuffix;
        ImageFileWriter file;
        if (!file.Create(partPath)) {
            transfer_.FailWith(file.Error());
            return code::kRefused;
        }
        Bytes image;
        image.reserve(kEepromSize);
        int code = code::kOk;
        for (int address = 0; address <= kEepromLastAddress && !transfer_.Stopping() && code == code::kOk;
             address += kEepromBlockSize) {
            transfer_.log.Live(kCrLf + std::string("Addr: ") + ZeroPadded(address, 4));
            Bytes block;
            std::string message;
            code = ReadEepromBlock(link_, address, block, message);
            if (code == code::kOk)
                image.insert(image.end(), block.begin(), block.end());
            else if (!message.empty())
                transfer_.log.Log(kCrLf + message);
        }
        const auto discard = [&] {
            file.Close();
            RemoveFile(partPath);
        };
        if (code != code::kOk || transfer_.Stopping()) {
            discard();
            return Abandon(kAborted, code::kRefused);
        }
        if (!file.Append(image.data(), image.size()) || !file.Close()) {
            transfer_.FailWith(file.Error());
            discard();
            return code::kRefused;
        }
        if (SystemError error; !PutFileInPlace(partPath, path, error)) {
            transfer_.FailWith(error);
            discard();
            return code::kRefused;
        }
        result_.files.push_back(path);
        transfer_.log.Live("  OK" + std::string(kCrLf) + " " + Upper(path) + kCrLf + kCrLf);
        return code::kOk;
    }

    std::optional<PageRange> TakePageRange()
    {
        PageRange pages{PageFieldNumber(request_.fromPage), PageFieldNumber(request_.toPage)};
        if (request_.recordCountRange) {
            const int count = result_.recordCount.value_or(kUnknownRecordCount);
            pages = {0, static_cast<int>(std::floor((count + 1) / 2.0)) + 22};
            transfer_.log.Log("  #mis: " + std::to_string(count));
        }
        if (request_.showPages)
            request_.showPages(pages);
        const std::string errors = PageRangeErrors(pages.first, pages.last);
        if (!errors.empty()) {
            transfer_.log.Log(errors);
            return std::nullopt;
        }
        return pages;
    }

    int DownloadFlash()
    {
        transfer_.log.Log("Download  FLASH 8M ...");
        const auto taken = TakePageRange();
        if (!taken)
            return Abandon(kAborted, kRangeError);
        const PageRange pages = *taken;
        result_.pages = pages;

        const std::string path = JoinPath(folder_, FlashImageName(baseName_, pages.first, pages.last));
        ImageFileWriter file;
        if (!file.Create(path)) {
            transfer_.FailWith(file.Error());
            return code::kRefused;
        }
        result_.files.push_back(path);
        const int code = ReadPages(pages, file);
        file.Close();
        context_.sink.HideProgress();
        result_.pagesSaved = static_cast<int>(file.Size() / kFlashPageSize);
        if (result_.pagesSaved == pages.Count() && !transfer_.Stopping() && !result_.interruption.happened()) {
            transfer_.log.Live("  OK" + std::string(kCrLf) + " " + Upper(path));
            return code::kOk;
        }
        // The image stops early: it is kept, and the log tells what it holds.
        const int kept = result_.pagesSaved;
        Abandon(kAborted + kCrLf + " Kept: " + Upper(path) + "  (" + std::to_string(kept) +
                    (kept == 1 ? " whole page)" : " whole pages)"),
                code::kRefused);
        if (result_.interruption.kind == Interruption::Kind::SystemError)
            return code::kRefused;
        return code == code::kOk ? code::kRefused : code;
    }

    // Pages first..last into the file, each read again from its first block when it fails, up to
    // kMaxConsecutivePageFailures times in a row. The code of the last read.
    int ReadPages(const PageRange& pages, ImageFileWriter& file)
    {
        const double step = 100.0 / (pages.last + 1);
        double progress = 0.0;
        context_.sink.Progress(0, "");
        int page = pages.first;
        int failuresInRow = 0;
        int retries = 0;
        int code = code::kOk;
        while (failuresInRow < kMaxConsecutivePageFailures && !transfer_.Stopping() && page <= pages.last) {
            std::string line = kCrLf + std::string("  Page N°: ") + std::to_string(page) + "/" + std::to_string(pages.last);
            if (retries > 0)
                line += "  (retry:" + std::to_string(retries) + ")";
            transfer_.log.Live(line);

            FlashPageRecord record;
            record.FirstPage = page;
            record.LastPage = page;
            code = ReadFlashPages(link_, record);
            if (code == code::kOk) {
                if (!file.Append(record.Data.data(), static_cast<std::size_t>(record.Count))) {
                    transfer_.FailWith(file.Error());
                    break;
                }
                failuresInRow = 0;
                ++page;
            } else {
                ++failuresInRow;
                ++retries;
            }
            progress = std::min(100.0, progress + step);
            // Rounded, not truncated: the sum of the steps can fall a hair short of 100 on the last page.
            context_.sink.Progress(static_cast<int>(std::lround(progress)), "");
        }
        return code;
    }

    OperationContext& context_;
    SerialLink& link_;
    const DownloadRequest& request_;
    DownloadResult result_;
    TransferRun transfer_;
    ClosePortOnExit closer_;
    std::string folder_;
    std::string baseName_;
};

}  // namespace

DownloadResult DownloadMemory(OperationContext& context, const DownloadRequest& request)
{
    return DownloadRun(context, request).Run();
}

DownMemInfoResult ReadDownMemInfo(OperationContext& context)
{
    DownMemInfoResult result;
    ClosePortOnExit closer(context.link);
    context.sink.ClearLog();
    const Identified identified = OpenAndIdentify(context.link);
    if (!identified.ok()) {
        const RxState& rx = context.link.Rx;
        result.code = ResultCodeOf(identified.code);
        result.reason = SerialErrorText() + kCrLf + "  Rx: " +
                        BytesToHex(rx.RxBuffer, static_cast<std::size_t>(std::max(rx.RxCount, 0)));
        context.sink.Log(result.reason);
        return result;
    }
    result.identified = true;
    result.instrument = identified.info;
    context.sink.Log(identified.info.Name + " SN:" + identified.info.SerialNumber + "  fw:" + identified.info.FwVersion +
                     kCrLf);
    return result;
}
