#include "memory/MemoryUpload.h"

#include <algorithm>
#include <cmath>

#include "core/Paths.h"
#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "link/Identify.h"
#include "memory/ImageFileReader.h"
#include "memory/ImageFileWriter.h"
#include "memory/ImageFiles.h"
#include "memory/TransferReport.h"
#include "params/ParamCommands.h"

namespace {

constexpr int kEepromLastAddress = kEepromSize - 1;
constexpr std::uint8_t kClearedByte = 0xFF;
constexpr int kRecordCountBytes = 2;
constexpr int kParam26CountAddress = 154;

const std::string kEepromAborted = std::string(kCrLf) + " Aborted ... ";
const std::string kFlashAborted = std::string(kCrLf) + " Process ABORTED" + kCrLf;

std::string LastCharactersUpper(const std::string& text, std::size_t count)
{
    return ToUpperAscii(text.size() <= count ? text : text.substr(text.size() - count));
}

std::string AddressText(int address)
{
    return kCrLf + std::string("  Addr: ") + ZeroPadded(address, 4) + "/" + "1999";
}

using EepromStage = MemoryUploadResult::EepromStage;

class UploadRun {
public:
    UploadRun(OperationContext& context, const MemoryUploadRequest& request)
        : context_(context), link_(context.link), request_(request), transfer_(context, result_), closer_(context.link)
    {
    }

    MemoryUploadResult Run()
    {
        if (!Confirmed()) {
            transfer_.Interrupt(Interruption::Kind::Declined);
            result_.reason = "the write into the instrument was not confirmed: nothing was written";
            return End(code::kRefused);
        }
        int code = request_.clearAll ? code::kOk : ChooseFile();
        if (code == code::kOk)
            code = Identify();
        if (code == code::kOk)
            code = Prepare();
        if (code == code::kOk && request_.clearAll)
            code = ClearAll();
        else if (code == code::kOk && request_.eeprom)
            code = UploadEeprom();
        if (code == code::kOk && request_.flash)
            code = UploadFlash();
        context_.sink.HideProgress();
        return End(code);
    }

private:
    // What the EEPROM stage writes: the whole image, or two bytes at the record count's address.
    struct EepromPlan {
        bool countOnly = false;
        int address = 0;
        Bytes data;
        std::string tag;
    };
    // What the flash stage writes: its pages, taken from `data` in order.
    struct FlashPlan {
        PageRange pages;
        Bytes data;
    };

    MemoryUploadResult End(int code)
    {
        transfer_.End(code);
        return result_;
    }

    bool Confirmed() { return context_.sink.Ask(question::ConfirmWrite{}).yes(); }

    int Refuse(const std::string& reason)
    {
        result_.reason = reason;
        return code::kRefused;
    }

    int ChooseFile()
    {
        if (!request_.eeprom && !request_.flash)
            return Refuse("neither EEPROM nor flash chosen");
        const Answer chosen =
            context_.sink.Ask(question::UploadImage{context_.appFolder, request_.eeprom, request_.flash});
        if (!chosen.yes()) {
            transfer_.Interrupt(Interruption::Kind::Declined);
            return code::kRefused;
        }
        chosenPath_ = chosen.path;
        chosenName_ = FileNameOfPath(chosenPath_);
        if (chosenName_ == chosenPath_) {
            transfer_.log.Log("Aborted !");
            transfer_.Said();
            return code::kRefused;
        }
        if (request_.eeprom)
            result_.eepromImage = chosenPath_;
        if (!request_.flash)
            return code::kOk;
        if (LastCharactersUpper(chosenName_, 3) != "EPR") {
            result_.flashImage = chosenPath_;
            return code::kOk;
        }
        const auto flashImage = FindFlashImageFor(chosenPath_);
        if (!flashImage)
            return Refuse("no flash image belongs to " + chosenName_);
        result_.flashImage = *flashImage;
        return code::kOk;
    }

    int Identify()
    {
        const Identified identified = OpenAndIdentify(link_);
        if (!identified.portOpened) {
            transfer_.PortNotOpened(identified.code);
            return identified.code;
        }
        if (!identified.ok()) {
            transfer_.log.Live(SerialErrorText(SerialErrorLayout::NoBlankLine));
            transfer_.Said();
        }
        return identified.code;
    }

    // Every image is read and checked, and the page range settled, before anything is written: a
    // refusal never leaves the instrument half restored.
    int Prepare()
    {
        int code = code::kOk;
        if (!request_.clearAll && request_.eeprom)
            code = PrepareEeprom();
        if (code == code::kOk && request_.flash)
            code = PrepareFlash();
        return code;
    }

    int FailWithSystemError()
    {
        transfer_.FailWith(LastSystemError());
        return code::kRefused;
    }

    std::string EepromHeader() const { return chosenName_ + kCrLf + "  Upload Eeprom  ..."; }

    int RefuseEeprom(const std::string& reason)
    {
        transfer_.log.Log(EepromHeader() + kCrLf + reason);
        transfer_.Said();
        return code::kRefused;
    }

    int PrepareEeprom()
    {
        ImageFileReader file;
        if (!file.Open(chosenPath_))
            return FailWithSystemError();
        if (request_.recordCountOnly)
            return PrepareRecordCount(file);
        if (file.Size() != kEepromSize)
            return RefuseEeprom("EPR file must hold " + std::to_string(kEepromSize) + " bytes (" +
                                std::to_string(file.Size()) + " bytes)" + kEepromAborted);
        Bytes image;
        if (!file.Read(0, kEepromSize, image))
            return FailWithSystemError();
        eeprom_ = EepromPlan{false, 0, std::move(image), ""};
        return code::kOk;
    }

    int PrepareRecordCount(ImageFileReader& file)
    {
        const auto device = DeviceNameOfEepromImage(chosenName_);
        if (!device)
            return RefuseEeprom("NO <_> character in the file name ...");
        const auto address = RecordCountOffset(*device);
        if (!address)
            return RefuseEeprom(*device + " Device name NOT match list ..");
        if (file.Size() < *address + kRecordCountBytes)
            return RefuseEeprom("EPR file too short (" + std::to_string(file.Size()) + " bytes) for Addr(" +
                                ZeroPadded(*address, 4) + ")" + kEepromAborted);
        Bytes count;
        if (!file.Read(*address, kRecordCountBytes, count))
            return FailWithSystemError();
        const char* tag = *address == kParam26CountAddress ? "  (par_26)" : "  (par_146)";
        eeprom_ = EepromPlan{true, *address, std::move(count), tag};
        return code::kOk;
    }

    std::string FlashHeader() const { return FileNameOfPath(result_.flashImage) + kCrLf + "  Upload FLASH  ..." + kCrLf; }

    int RefuseFlash(const std::string& reason)
    {
        transfer_.log.Log((result_.flashImage.empty() ? std::string() : FlashHeader()) + reason + kFlashAborted);
        transfer_.Said();
        return code::kRefused;
    }

    // The pages the flash stage writes: the page fields', or the image's own when they differ and
    // the technician says so. Nothing when the question is cancelled.
    std::optional<PageRange> SettlePages(const FlashImagePages& named, bool& differ)
    {
        PageRange pages{PageFieldNumber(request_.fromPage), PageFieldNumber(request_.toPage)};
        differ = named.first != pages.first || named.last != pages.last;
        if (!differ)
            return pages;
        const Answer answer =
            context_.sink.Ask(question::PageNumbers{named.first, named.last, pages.first, pages.last});
        if (answer.reply == Answer::Reply::No)
            return pages;
        if (!answer.yes()) {
            transfer_.Interrupt(Interruption::Kind::Declined);
            return std::nullopt;
        }
        pages = {named.first, named.last};
        if (request_.showPages)
            request_.showPages(pages);
        return pages;
    }

    int PrepareFlash()
    {
        if (result_.flashImage.empty())
            return RefuseFlash("NO  <*.FLA> file found ...");
        const auto named = ParseFlashImageName(FileNameOfPath(result_.flashImage));
        if (!named)
            return RefuseFlash(std::string("FLA file must be formatted as") + kCrLf + " <*_xxxx-yyy.FLA>");
        bool differ = false;
        const auto settled = SettlePages(*named, differ);
        if (!settled)
            return RefuseFlash("");
        const PageRange pages = *settled;
        if (const std::string errors = PageRangeErrors(pages.first, pages.last); !errors.empty())
            return RefuseFlash(errors);

        ImageFileReader file;
        if (!file.Open(result_.flashImage))
            return FailWithSystemError();
        const std::int64_t length = file.Size();
        std::int64_t offset = 0;
        if (differ && pages.first > named->first) {
            offset = static_cast<std::int64_t>(pages.first - named->first) * kFlashPageSize;
            if (offset > length)
                return RefuseFlash(kCrLf + std::string("Dimensione file: ") + std::to_string(length) + kCrLf +
                                   "(textbox - numfile)*4096: " + std::to_string(pages.first) + "-" +
                                   std::to_string(named->first) + "*4096 =" + std::to_string(offset));
        }
        // Only whole pages of the file are ever sent.
        const std::int64_t needed = static_cast<std::int64_t>(pages.Count()) * kFlashPageSize;
        if (offset + needed > length)
            return RefuseFlash(kCrLf + std::string("Dimensione file: ") + std::to_string(length) + kCrLf + "Pages " +
                               std::to_string(pages.first) + "-" + std::to_string(pages.last) + " need " +
                               std::to_string(offset + needed) + " bytes");
        FlashPlan plan{pages, {}};
        if (!file.Read(offset, static_cast<std::size_t>(needed), plan.data))
            return FailWithSystemError();
        result_.pages = pages;
        flash_ = std::move(plan);
        return code::kOk;
    }

    // The stage ended early: Stop, or what the log has just said.
    int Abandon(const std::string& logText, int code)
    {
        transfer_.log.Log(logText);
        transfer_.Said();
        if (transfer_.Stopping())
            transfer_.Interrupt(Interruption::Kind::Stopped);
        return code == code::kOk ? code::kRefused : code;
    }

    // The last answer received and " Aborted ... ", after an EEPROM write that failed or a Stop.
    int AbandonEeprom(int code)
    {
        const RxState& rx = link_.Rx;
        return Abandon(kCrLf + std::string(" Rx: ") +
                           BytesToHex(rx.RxBuffer, static_cast<std::size_t>(std::max(rx.RxCount, 0))) +
                           (code == code::kNak ? "  <NAK> answer" : "") + kEepromAborted,
                       code);
    }

    int ClearAll()
    {
        result_.eepromStage = EepromStage::ClearAll;
        transfer_.log.Log(" CLEAR Eeprom  ...");
        const Bytes cleared(kEepromUploadBlock, kClearedByte);
        int code = code::kOk;
        int address = 0;
        for (; address <= kEepromLastAddress; address += kEepromUploadBlock) {
            if (code != code::kOk || transfer_.Stopping())
                break;
            transfer_.log.Live(AddressText(address));
            std::string message;
            code = WriteEepromBlock(link_, address, cleared, message);
        }
        if (code == code::kOk && address > kEepromLastAddress) {
            result_.eepromWritten = true;
            transfer_.log.Live("  OK: cleared ALL to 0xFF");
            return code::kOk;
        }
        // The addresses before it are already 0xFF: the end must not look like a run still going.
        return AbandonEeprom(code);
    }

    int UploadEeprom()
    {
        result_.eepromStage = eeprom_->countOnly ? EepromStage::RecordCount : EepromStage::Image;
        transfer_.log.Log(EepromHeader());
        std::string written;
        const int code = eeprom_->countOnly ? WriteRecordCount(written) : WriteEepromImage();
        context_.sink.HideProgress();
        if (code != code::kOk || transfer_.Stopping())
            return AbandonEeprom(code);
        std::string message;
        const int committed = CommitParams(link_, message);
        transfer_.log.Live(written + "  OK" + kCrLf + kCrLf);
        // The image is in, but the instrument did not take it over: say so, and go no further.
        if (committed != code::kOk) {
            transfer_.log.Log("CommitParams: " + message + kEepromAborted);
            transfer_.Said();
            return committed;
        }
        result_.eepromWritten = true;
        return code::kOk;
    }

    int WriteEepromImage()
    {
        const Bytes& image = eeprom_->data;
        const double step = 100.0 / kEepromLastAddress * kEepromUploadBlock;
        double progress = 0.0;
        context_.sink.Progress(0, "");
        int code = code::kOk;
        for (int address = 0; address <= kEepromLastAddress && code == code::kOk && !transfer_.Stopping();
             address += kEepromUploadBlock) {
            transfer_.log.Live(AddressText(address));
            const auto from = image.begin() + address;
            std::string message;
            code = WriteEepromBlock(link_, address, Bytes(from, from + kEepromUploadBlock), message);
            progress = std::min(100.0, progress + step);
            context_.sink.Progress(static_cast<int>(std::lround(progress)), "");
        }
        return code;
    }

    // The line saying what was written goes into `written`, shown once the run goes on.
    int WriteRecordCount(std::string& written)
    {
        const EepromPlan& plan = *eeprom_;
        std::string message;
        const int code = WriteEepromBlock(link_, plan.address, plan.data, message);
        const int count = plan.data[1] * 256 + plan.data[0];
        written = kCrLf + std::string(" Wrote at Addr(") + ZeroPadded(plan.address, 4) + ") = " + std::to_string(count) +
                  plan.tag;
        if (code == code::kOk)
            result_.recordCount = count;
        return code;
    }

    int UploadFlash()
    {
        transfer_.log.Log(FlashHeader());
        const PageRange& pages = flash_->pages;
        const int code = WritePages();
        context_.sink.HideProgress();
        if (code != code::kOk || transfer_.Stopping())
            return Abandon(kFlashAborted, code);
        // The fields stay editable during the run: the line names the pages written.
        transfer_.log.Live(" Pages " + std::to_string(pages.first) + "-" + std::to_string(pages.last) + "  OK" + kCrLf +
                           kCrLf);
        return code::kOk;
    }

    // A page that failed is sent again after a pause; after kMaxPageRetriesInRow failures in a row
    // the technician decides, and going on identifies the instrument again first.
    int WritePages()
    {
        const FlashPlan& plan = *flash_;
        const PageRange& pages = plan.pages;
        const bool showProgress = pages.last - pages.first > 0;
        const double step = showProgress ? 100.0 / (pages.last - pages.first) : 0.0;
        double progress = 0.0;
        if (showProgress)
            context_.sink.Progress(0, "");
        FlashPageRecord record;
        record.Count = kFlashPageSize;
        int page = pages.first;
        int inRow = 0;
        int retries = 0;
        int code = code::kOk;
        while (page <= pages.last && !transfer_.Stopping() && code == code::kOk) {
            if (inRow == 0) {
                const auto from = plan.data.begin() + static_cast<std::ptrdiff_t>(page - pages.first) * kFlashPageSize;
                std::copy(from, from + kFlashPageSize, record.Data.begin());
                record.FirstPage = page;
                record.LastPage = page;
            }
            code = WriteFlashPages(link_, record);

            std::string line = " Page " + std::to_string(page) + "/" + std::to_string(pages.last);
            if (retries > 0) {
                line += "      RetryTot=" + std::to_string(retries);
                if (inRow > 0)
                    line += "/" + std::to_string(inRow);
            }
            transfer_.log.Live(line);

            if (code == code::kOk) {
                inRow = 0;
                ++page;
                result_.pagesWritten = page - pages.first;
            } else {
                transfer_.log.Live(line + kCrLf + record.Message);
                ++inRow;
                ++retries;
                link_.Delay(kPageRetryPauseS);
                code = code::kOk;
                if (inRow > kMaxPageRetriesInRow && !transfer_.Stopping()) {
                    if (context_.sink.Ask(question::Retry{page}).yes()) {
                        InstrumentInfo info;
                        code = ReadInstrumentInfo(link_, info);
                        link_.Delay(kReidentifyPauseS);
                        inRow = 1;
                    } else {
                        transfer_.Interrupt(Interruption::Kind::Declined);
                        result_.reason = "page " + std::to_string(page) + " failed more than " +
                                         std::to_string(kMaxPageRetriesInRow) + " times in a row: the upload stopped there";
                        code = code::kMalformed;
                    }
                }
            }
            if (showProgress) {
                progress = std::min(100.0, progress + step);
                context_.sink.Progress(static_cast<int>(std::lround(progress)), "");
            }
        }
        return code;
    }

    OperationContext& context_;
    SerialLink& link_;
    const MemoryUploadRequest& request_;
    MemoryUploadResult result_;
    TransferRun transfer_;
    ClosePortOnExit closer_;
    std::string chosenPath_;
    std::string chosenName_;
    std::optional<EepromPlan> eeprom_;
    std::optional<FlashPlan> flash_;
};

}  // namespace

MemoryUploadResult UploadMemory(OperationContext& context, const MemoryUploadRequest& request)
{
    return UploadRun(context, request).Run();
}
