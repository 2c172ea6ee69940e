#include "memory/MemoryUpload.h"

#include <algorithm>
#include <cmath>

#include "core/Paths.h"
#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "memory/ImageFileReader.h"
#include "memory/ImageFileWriter.h"
#include "memory/ImageFiles.h"
#include "memory/PageRange.h"

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

}  // namespace

MemoryUpload::MemoryUpload(SerialLink& link, Dialogs& dialogs, DownMemView& view, std::string appFolder)
    : link_(link), dialogs_(dialogs), view_(view), appFolder_(std::move(appFolder))
{
}

bool MemoryUpload::Aborted() const
{
    return view_.AbortRequested() || link_.host().Quitting();
}

void MemoryUpload::FailWithSystemError()
{
    const SystemError error = LastSystemError();
    failure_ = {TransferFailure::Kind::Other, error.number, error.description};
}

int MemoryUpload::Run()
{
    if (!Confirmed()) {
        failure_.kind = TransferFailure::Kind::Cancelled;
        return code::kRefused;
    }
    int code = view_.ClearAllChosen() ? code::kOk : ChooseFile();
    if (code == code::kOk)
        code = Identify();
    if (code == code::kOk)
        code = Prepare();
    bool eepromSkipped = false;
    if (code == code::kOk && view_.ClearAllChosen()) {
        code = ClearAll();
        eepromSkipped = true;
    }
    if (code == code::kOk && !eepromSkipped && view_.EepromChosen())
        code = UploadEeprom();
    if (code == code::kOk && view_.FlashChosen())
        code = UploadFlash();
    view_.SetProgressVisible(false);
    return code;
}

bool MemoryUpload::Confirmed()
{
    const std::string text = std::string("This operation WRITE ") + kCrLf + "  - ALL parameters " + kCrLf +
                             "  - DATA (flash)" + kCrLf + "inside the device" + kCrLf + kCrLf + "Continue ?";
    return dialogs_.Message(MsgIcon::Information, "Warning", text, MsgButtons::YesNo) == MsgAnswer::Yes;
}

int MemoryUpload::ChooseFile()
{
    std::string filter;
    if (view_.EepromChosen())
        filter = "File EE2 (*.epr)| *.epr";
    if (!filter.empty())
        filter += "|";
    if (view_.FlashChosen())
        filter += "File flash (*.fla)| *.fla";
    if (filter.empty())
        return code::kRefused;

    FileDialogRequest request;
    request.folder = appFolder_;
    request.filter = filter;
    const auto chosen = dialogs_.OpenFile(request);
    if (!chosen) {
        failure_.kind = TransferFailure::Kind::Cancelled;
        return code::kRefused;
    }
    chosenPath_ = *chosen;
    chosenName_ = FileNameOfPath(chosenPath_);
    if (chosenName_ == chosenPath_) {
        view_.AppendStatus("Aborted !");
        return code::kRefused;
    }

    flashImagePath_.clear();
    if (view_.FlashChosen()) {
        if (LastCharactersUpper(chosenName_, 3) == "EPR") {
            const auto flashImage = FindFlashImageFor(chosenPath_);
            if (!flashImage)
                return code::kRefused;
            flashImagePath_ = *flashImage;
        } else {
            flashImagePath_ = chosenPath_;
        }
    }
    return code::kOk;
}

int MemoryUpload::Identify()
{
    const int opened = link_.InitSeriale(link_.CommPortNumber, link_.BaudText);
    if (opened != code::kOk) {
        // The port's own message has been shown; the operation then fails as a whole.
        const PortOpenResult& error = link_.LastOpenError();
        failure_ = {opened == code::kPortMissing ? TransferFailure::Kind::PortMissing : TransferFailure::Kind::Other,
                    error.errorNumber, error.description};
        return opened;
    }
    InstrumentInfo info;
    const int code = ReadInstrumentInfo(link_, info);
    if (code != code::kOk)
        view_.SetStatus(std::string(" Serial error !!") + kCrLf + "  Check connection.");
    return code;
}

// Every image is read and checked, and the page range settled, before anything is written: a
// refusal never leaves the instrument half restored.
int MemoryUpload::Prepare()
{
    int code = code::kOk;
    if (!view_.ClearAllChosen() && view_.EepromChosen())
        code = PrepareEeprom();
    if (code == code::kOk && view_.FlashChosen())
        code = PrepareFlash();
    return code;
}

int MemoryUpload::PrepareEeprom()
{
    ImageFileReader file;
    if (!file.Open(chosenPath_)) {
        FailWithSystemError();
        return code::kRefused;
    }
    if (view_.RecordCountOnlyChosen())
        return PrepareRecordCount(file);
    if (file.Size() != kEepromSize) {
        view_.AppendStatus(chosenName_ + kCrLf + "  Upload Eeprom  ..." + kCrLf + "EPR file must hold " +
                           std::to_string(kEepromSize) + " bytes (" + std::to_string(file.Size()) + " bytes)" +
                           kEepromAborted);
        return code::kRefused;
    }
    Bytes image;
    if (!file.Read(0, kEepromSize, image)) {
        FailWithSystemError();
        return code::kRefused;
    }
    eeprom_ = EepromPlan{false, 0, std::move(image), ""};
    return code::kOk;
}

int MemoryUpload::PrepareRecordCount(ImageFileReader& file)
{
    const std::string header = chosenName_ + kCrLf + "  Upload Eeprom  ...";
    const auto device = DeviceNameOfEepromImage(chosenName_);
    if (!device) {
        view_.AppendStatus(header + kCrLf + "NO <_> character in the file name ...");
        return code::kRefused;
    }
    const auto address = RecordCountOffset(*device);
    if (!address) {
        view_.AppendStatus(header + kCrLf + *device + " Device name NOT match list ..");
        return code::kRefused;
    }
    if (file.Size() < *address + kRecordCountBytes) {
        view_.AppendStatus(header + kCrLf + "EPR file too short (" + std::to_string(file.Size()) +
                           " bytes) for Addr(" + ZeroPadded(*address, 4) + ")" + kEepromAborted);
        return code::kRefused;
    }
    Bytes count;
    if (!file.Read(*address, kRecordCountBytes, count)) {
        FailWithSystemError();
        return code::kRefused;
    }
    const char* tag = *address == kParam26CountAddress ? "  (par_26)" : "  (par_146)";
    eeprom_ = EepromPlan{true, *address, std::move(count), tag};
    return code::kOk;
}

std::string MemoryUpload::FlashHeader() const
{
    return FileNameOfPath(flashImagePath_) + kCrLf + "  Upload FLASH  ..." + kCrLf;
}

int MemoryUpload::RefuseFlash(const std::string& reason)
{
    view_.AppendStatus((flashImagePath_.empty() ? std::string() : FlashHeader()) + reason + kFlashAborted);
    return code::kRefused;
}

int MemoryUpload::PrepareFlash()
{
    if (flashImagePath_.empty())
        return RefuseFlash("NO  <*.FLA> file found ...");
    const auto named = ParseFlashImageName(FileNameOfPath(flashImagePath_));
    if (!named)
        return RefuseFlash(std::string("FLA file must be formatted as") + kCrLf + " <*_xxxx-yyy.FLA>");

    int first = PageFieldNumber(view_.FromPageText());
    int last = PageFieldNumber(view_.ToPageText());
    const bool differ = named->first != first || named->last != last;
    if (differ) {
        const std::string question = "<file>    page numbers " + ZeroPadded(named->first, 4) + "-" +
                                     ZeroPadded(named->last, 4) + "are different from " + kCrLf +
                                     "<textbox> page numbers " + ZeroPadded(first, 4) + "-" + ZeroPadded(last, 4) +
                                     kCrLf + kCrLf + "  YES --> use <file>    page numbers" + kCrLf +
                                     "  NO  --> use <textbox> page numbers";
        const MsgAnswer answer =
            dialogs_.Message(MsgIcon::Information, "PAGE NUMBER WARNING", question, MsgButtons::YesNoCancel);
        if (answer == MsgAnswer::Yes) {
            first = named->first;
            last = named->last;
            view_.SetPageTexts(std::to_string(first), std::to_string(last));
            view_.Repaint();
        } else if (answer != MsgAnswer::No) {
            return RefuseFlash("");
        }
    }
    if (const std::string errors = PageRangeErrors(first, last); !errors.empty())
        return RefuseFlash(errors);

    ImageFileReader file;
    if (!file.Open(flashImagePath_)) {
        FailWithSystemError();
        return code::kRefused;
    }
    const std::int64_t length = file.Size();
    std::int64_t offset = 0;
    if (differ && first > named->first) {
        offset = static_cast<std::int64_t>(first - named->first) * kFlashPageSize;
        if (offset > length)
            return RefuseFlash(kCrLf + std::string("Dimensione file: ") + std::to_string(length) + kCrLf +
                               "(textbox - numfile)*4096: " + std::to_string(first) + "-" +
                               std::to_string(named->first) + "*4096 =" + std::to_string(offset));
    }
    // Only whole pages of the file are ever sent.
    const std::int64_t needed = static_cast<std::int64_t>(last - first + 1) * kFlashPageSize;
    if (offset + needed > length)
        return RefuseFlash(kCrLf + std::string("Dimensione file: ") + std::to_string(length) + kCrLf + "Pages " +
                           std::to_string(first) + "-" + std::to_string(last) + " need " +
                           std::to_string(offset + needed) + " bytes");
    FlashPlan plan{first, last, {}};
    if (!file.Read(offset, static_cast<std::size_t>(needed), plan.pages)) {
        FailWithSystemError();
        return code::kRefused;
    }
    flash_ = std::move(plan);
    return code::kOk;
}

int MemoryUpload::ClearAll()
{
    view_.SetStatus(" CLEAR Eeprom  ...");
    view_.UntickEeprom();
    const Bytes cleared(kEepromUploadBlock, kClearedByte);
    const std::string before = view_.Status();
    int code = code::kOk;
    int address = 0;
    for (; address <= kEepromLastAddress; address += kEepromUploadBlock) {
        if (code != code::kOk || Aborted())
            break;
        view_.SetStatus(before + kCrLf + "  Addr: " + ZeroPadded(address, 4) + "/" + "1999");
        view_.Repaint();
        std::string message;
        code = WriteEepromBlock(link_, address, cleared, message);
    }
    if (code == code::kOk && address > kEepromLastAddress) {
        view_.SetStatus(before + "  OK: cleared ALL to 0xFF");
        return code::kOk;
    }
    // The addresses before it are already 0xFF: the end must not look like a run still going.
    AppendEepromAbort(code);
    return code == code::kOk ? code::kRefused : code;
}

void MemoryUpload::AppendEepromAbort(int code)
{
    const RxState& rx = link_.Rx;
    view_.AppendStatus(kCrLf + std::string(" Rx: ") +
                       BytesToHex(rx.RxBuffer, static_cast<std::size_t>(std::max(rx.RxCount, 0))) +
                       (code == code::kNak ? "  <NAK> answer" : "") + kEepromAborted);
}

int MemoryUpload::UploadEeprom()
{
    if (!eeprom_) {
        // "EEprom" was ticked after the images were checked.
        const int code = PrepareEeprom();
        if (code != code::kOk)
            return code;
    }
    view_.AppendStatus(chosenName_ + kCrLf + "  Upload Eeprom  ...");
    std::string before;
    const int code = eeprom_->countOnly ? WriteRecordCount(before) : WriteEepromImage(before);
    view_.SetProgressVisible(false);
    if (code == code::kOk && !Aborted()) {
        std::string message;
        const int committed = CommitParams(link_, message);
        view_.SetStatus(before + "  OK" + kCrLf + kCrLf);
        // The image is in, but the instrument did not take it over: say so, and go no further.
        if (committed != code::kOk)
            view_.AppendStatus("CommitParams: " + message + kEepromAborted);
        return committed;
    }
    AppendEepromAbort(code);
    return code == code::kOk ? code::kRefused : code;
}

int MemoryUpload::WriteEepromImage(std::string& before)
{
    const Bytes& image = eeprom_->data;
    const double step = 100.0 / kEepromLastAddress * kEepromUploadBlock;
    double progress = 0.0;
    view_.SetProgress(0);
    view_.SetProgressVisible(true);
    before = view_.Status();
    int code = code::kOk;
    for (int address = 0; address <= kEepromLastAddress && code == code::kOk && !Aborted();
         address += kEepromUploadBlock) {
        view_.SetStatus(before + kCrLf + "  Addr: " + ZeroPadded(address, 4) + "/" + "1999");
        view_.Repaint();
        const auto from = image.begin() + address;
        std::string message;
        code = WriteEepromBlock(link_, address, Bytes(from, from + kEepromUploadBlock), message);
        progress = std::min(100.0, progress + step);
        view_.SetProgress(static_cast<int>(std::lround(progress)));
    }
    return code;
}

int MemoryUpload::WriteRecordCount(std::string& before)
{
    const EepromPlan& plan = *eeprom_;
    std::string message;
    const int code = WriteEepromBlock(link_, plan.address, plan.data, message);
    before = view_.Status() + kCrLf + " Wrote at Addr(" + ZeroPadded(plan.address, 4) + ") = " +
             std::to_string(plan.data[1] * 256 + plan.data[0]) + plan.tag;
    return code;
}

int MemoryUpload::UploadFlash()
{
    if (!flash_) {
        // "Flash" was ticked after the images were checked.
        const int code = PrepareFlash();
        if (code != code::kOk)
            return code;
    }
    view_.AppendStatus(FlashHeader());
    const FlashPlan& plan = *flash_;
    const bool showProgress = plan.last - plan.first > 0;
    const double step = showProgress ? 100.0 / (plan.last - plan.first) : 0.0;
    double progress = 0.0;
    if (showProgress) {
        view_.SetProgress(0);
        view_.SetProgressVisible(true);
    }
    const std::string before = view_.Status();
    FlashPageRecord record;
    record.Count = kFlashPageSize;
    int page = plan.first;
    int inRow = 0;
    int retries = 0;
    bool done = false;
    int code = code::kOk;
    while (!done && !Aborted() && code == code::kOk) {
        if (inRow == 0) {
            const auto from = plan.pages.begin() + static_cast<std::ptrdiff_t>(page - plan.first) * kFlashPageSize;
            std::copy(from, from + kFlashPageSize, record.Data.begin());
            record.FirstPage = page;
            record.LastPage = page;
        }
        code = WriteFlashPages(link_, record);

        std::string line = before + " Page " + std::to_string(page) + "/" + std::to_string(plan.last);
        if (retries > 0) {
            line += "      RetryTot=" + std::to_string(retries);
            if (inRow > 0)
                line += "/" + std::to_string(inRow);
        }
        view_.SetStatus(line);
        view_.Repaint();

        if (code == code::kOk) {
            inRow = 0;
            ++page;
            done = page > plan.last;
        } else {
            view_.AppendStatus(kCrLf + record.Message);
            ++inRow;
            ++retries;
            link_.Delay(kPageRetryPauseS);
            code = code::kOk;
            if (inRow > kMaxPageRetriesInRow && !Aborted()) {
                const MsgAnswer answer = dialogs_.Message(MsgIcon::Information, "RETRY",
                                                          std::string("Max RETRY ! ") + kCrLf + kCrLf + "Continue ?",
                                                          MsgButtons::YesNo);
                if (answer == MsgAnswer::Yes) {
                    InstrumentInfo info;
                    code = ReadInstrumentInfo(link_, info);
                    link_.Delay(kReidentifyPauseS);
                    inRow = 1;
                } else {
                    done = true;
                    code = code::kMalformed;
                }
            }
        }
        if (showProgress) {
            progress = std::min(100.0, progress + step);
            view_.SetProgress(static_cast<int>(std::lround(progress)));
        }
    }
    view_.SetProgressVisible(false);
    if (code == code::kOk && !Aborted()) {
        // The fields stay editable during the run: the line names the pages written.
        view_.SetStatus(before + " Pages " + std::to_string(plan.first) + "-" + std::to_string(plan.last) + "  OK" +
                        kCrLf + kCrLf);
        return code::kOk;
    }
    view_.AppendStatus(kFlashAborted);
    return code == code::kOk ? code::kRefused : code;
}
