#include "firmware/FirmwareUpload.h"

#include "core/Paths.h"
#include "firmware/BootClient.h"
#include "firmware/PackageFile.h"
#include "firmware/PageImage.h"
#include "firmware/PageWriter.h"
#include "firmware/UploadTargets.h"
#include "link/Commands.h"
#include "link/Identify.h"
#include "link/InstrumentModels.h"
#include "link/Speeds.h"

namespace {

constexpr int kAfterLoadMs = 200;
constexpr int kAfterSyncMs = 500;
constexpr int kAfterEraseMs = 500;
constexpr int kAfterWriteMs = 1000;
constexpr int kAfterBootCommandMs = 250;
constexpr int kAfterLinkSpeedMs = 200;
constexpr int kIdentifyRetryMs = 100;
constexpr int kMinBootAnswerCount = 6;
constexpr std::uint8_t kBootCommand = 0xD0;
constexpr std::uint8_t kLinkSpeedCommand = 0xD4;
constexpr std::uint8_t kLinkSpeed57600 = 0x00;

constexpr const char* kDirectLoadError = "Error in the <fillArray> function ...";
constexpr const char* kPackageLoadError = "Error in the function <fillArray>";

// A bootloader that did not answer its sync stays so until the instrument is switched off. The MIS
// board is reached only through a CPU board started afresh, which takes the whole package.
constexpr const char* kRestartBootloader = "Switch the instrument OFF, then ON again in its bootloader as the "
                                           "target's instructions say (e.g. with Menu+GO pressed), and start again";
constexpr const char* kRerunPackage = "Switch the instrument OFF and run the whole package again, starting the CPU "
                                      "board in its bootloader (Menu+GO pressed)";

// Stops the one-second ticker however the wait ends.
class TickerGuard {
public:
    TickerGuard(Host& host, std::int32_t& counter) : host_(host)
    {
        counter = 0;
        host_.SetSecondTicker([&counter] { ++counter; });
    }
    ~TickerGuard() { host_.SetSecondTicker({}); }
    TickerGuard(const TickerGuard&) = delete;
    TickerGuard& operator=(const TickerGuard&) = delete;

private:
    Host& host_;
};

std::string NotStarted(const std::string& why)
{
    return " Upload not started: " + why + kCrLf;
}

// The package's folder: its path up to and including the last separator.
std::string FolderOf(const std::string& path)
{
    const auto separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// What a step that failed before anything was sent, or on the line, says by its code.
ResultCode CodeOf(FirmwareStep step, BootError error)
{
    switch (step) {
    case FirmwareStep::FileNotForTarget:
    case FirmwareStep::PackageRefused:
    case FirmwareStep::ImageRefused:
        return ResultCode::Refused;
    default:
        return error == BootError::Nack ? ResultCode::Nak : ResultCode::NoFrame;
    }
}

class FirmwareRun {
public:
    FirmwareRun(OperationContext& context, const FirmwareRequest& request)
        : request_(request), link_(context.link), sink_(context.sink), closer_(context.link),
          direct_(link_, sink_, BootRoute::Direct)
    {
    }

    FirmwareResult Run();

private:
    // Why the chosen file is not programmed ("" when it is); `target` is null for none.
    std::string Refusal(const FirmwareTarget* target) const;
    bool OpenBootPort(bool package);
    void SingleBoardFlow();
    void PackageFlow();
    FirmwareStep UploadDirect(const std::string& image) { return DirectSequence(image, kDirectLoadError, true); }
    FirmwareStep UploadCpuBoard(const std::string& image) { return DirectSequence(image, kPackageLoadError, false); }
    // `ownTexts`: a failed step leaves its own text, rather than what the exchange left.
    FirmwareStep DirectSequence(const std::string& image, const char* loadError, bool ownTexts);
    FirmwareStep UploadMisBoard(const std::string& image);
    // Loads the image before anything is erased; false with the reason in the log.
    bool LoadImage(const std::string& path, bool lineBreak);
    void CountPages(const PagesWritten& written);
    // The step failed: its result code.
    ResultCode FailureCode(FirmwareStep step) const;
    // 0xD0: opens the pass-through to the MIS board. 0xD4 0x00: the link goes to 57600 baud.
    bool SendBootCommand();
    void SendLinkSpeed();
    // Waits for the switched-on instrument to identify itself; false on the time-out.
    bool WaitForInstrument();
    // The step failed with `error`: the text the board's sequence leaves for it.
    FirmwareStep Failed(FirmwareStep step, BootError error, const char* ownText, bool ownTexts);
    // The run ends at `step`, its log closing with `text`.
    void End(FirmwareStep step, ResultCode code, const std::string& text);
    bool Quitting() const { return link_.host().Quitting(); }

    const FirmwareRequest& request_;
    SerialLink& link_;
    OperationSink& sink_;
    ClosePortOnExit closer_;
    BootClient direct_;
    PageImage image_;
    FirmwareResult result_;
    std::string errText_;  // the failing step's text, as the board's sequence leaves it
    BootError bootError_ = BootError::None;
    bool readBackDiffers_ = false;
};

FirmwareResult FirmwareRun::Run()
{
    sink_.ClearLog();
    const FirmwareTarget* target = request_.target.empty() ? nullptr : FindFirmwareTarget(request_.target);
    const bool package = target && target->flow == FirmwareFlow::TwoBoardPackage;
    if (const std::string refusal = Refusal(target); !refusal.empty())
        End(FirmwareStep::FileNotForTarget, ResultCode::Refused, refusal);
    else if (OpenBootPort(package))
        package ? PackageFlow() : SingleBoardFlow();
    if (!result_.ok() && Quitting()) {
        result_.failedStep = FirmwareStep::Stopped;
        result_.interruption.kind = Interruption::Kind::Stopped;
    }
    return result_;
}

std::string FirmwareRun::Refusal(const FirmwareTarget* target) const
{
    if (request_.target.empty())
        return {};
    if (!target)
        return NotStarted("no firmware target named " + request_.target);
    const std::string name = FileNameOfPath(request_.file);
    if (FileFitsTarget(*target, name))
        return {};
    return NotStarted(request_.target + " takes a file " + FilePattern(*target) + ", not " + name);
}

bool FirmwareRun::OpenBootPort(bool package)
{
    direct_.SetupBootPort(link_.BaudText);
    const PortOpenResult open = direct_.OpenBootPort();
    if (open.ok())
        return true;
    const bool missing = open.kind == PortOpenResult::Kind::NotFound;
    result_.interruption = {missing ? Interruption::Kind::PortMissing : Interruption::Kind::SystemError,
                            open.errorNumber, open.description};
    End(FirmwareStep::Port, missing ? ResultCode::PortMissing : ResultCode::Refused,
        std::string(kCrLf) + "Serial port not available" + kCrLf + (package ? "Upload failed " : "Upload failed! ") + kCrLf);
    return false;
}

void FirmwareRun::End(FirmwareStep step, ResultCode code, const std::string& text)
{
    if (!text.empty())
        sink_.Log(text);
    result_.failedStep = step;
    result_.code = code;
    result_.reason = text;
}

void FirmwareRun::SingleBoardFlow()
{
    const FirmwareStep step = UploadDirect(request_.file);
    if (step == FirmwareStep::None) {
        result_.boardsProgrammed = 1;
        sink_.Log(std::string("Upload completed succefully ") + kCrLf);
        return;
    }
    const std::string advice = step == FirmwareStep::Sync ? kRestartBootloader + std::string(kCrLf) : "";
    End(step, FailureCode(step), kCrLf + errText_ + kCrLf + "Upload failed! " + kCrLf + advice);
}

void FirmwareRun::PackageFlow()
{
    const PackageImages package = ReadPackageFile(request_.file, FolderOf(request_.file));
    if (!package.ok())
        return End(FirmwareStep::PackageRefused, ResultCode::Refused, package.problem + kCrLf + "Upload failed " + kCrLf);

    // Both images must load before the CPU board is erased; the CPU image is loaded by its sequence.
    const ImageCheck mis = CheckImageFile(package.misFile);
    if (mis.result != ImageLoad::Loaded || mis.bytes == 0) {
        const std::string problem = mis.result != ImageLoad::Loaded ? ImageProblemText(package.misFile, mis)
                                                                     : " Image file empty: " + package.misFile;
        return End(FirmwareStep::ImageRefused, ResultCode::Refused,
                   problem + kCrLf + kPackageLoadError + kCrLf + "Upload failed " + kCrLf);
    }

    FirmwareStep step = UploadCpuBoard(package.cpuFile);
    if (step != FirmwareStep::None) {
        const std::string advice = step == FirmwareStep::Sync ? kRestartBootloader + std::string(kCrLf) : "";
        return End(step, FailureCode(step), errText_ + kCrLf + "Upload failed " + kCrLf + advice);
    }
    result_.boardsProgrammed = 1;
    sink_.Log(std::string("TURN ON the instrument ") + kCrLf);
    direct_.CloseBootPort();
    link_.BaudText = kSpeed115200;
    link_.InitSeriale(link_.CommPortNumber, link_.BaudText);

    if (!WaitForInstrument())
        return End(FirmwareStep::InstrumentNotOn, ResultCode::NoFrame,
                   Quitting() ? "" : std::string("Exit due to Timeout ") + kCrLf);
    step = UploadMisBoard(package.misFile);
    if (step != FirmwareStep::None) {
        const std::string advice = step == FirmwareStep::TunnelSync ? kRerunPackage + std::string(kCrLf) : "";
        return End(step, FailureCode(step), errText_ + kCrLf + "Upload mis board failed " + kCrLf + advice);
    }
    result_.boardsProgrammed = 2;
    sink_.Log(std::string(" >> Upload Success ") + kCrLf + " ***** TURN OFF the instrument ***** " + kCrLf);
}

bool FirmwareRun::WaitForInstrument()
{
    std::int32_t ticks = 0;  // TimeOutFlag
    {
        TickerGuard ticker(link_.host(), ticks);
        for (;;) {
            InstrumentInfo info;
            // Both conditions are looked at every time round.
            const bool silent = ReadInstrumentInfo(link_, info) != 0;
            const bool inTime = ticks < kPowerOnTimeoutS;
            if (!silent || !inTime || Quitting())
                break;
            sink_.Live("timeOut = " + std::to_string(ticks));
            link_.host().Yield(link_.host().Now());
            direct_.DelayMs(kIdentifyRetryMs);
        }
    }
    sink_.Live("");
    sink_.Log(kCrLf);
    return ticks < kPowerOnTimeoutS && !Quitting();
}

bool FirmwareRun::LoadImage(const std::string& path, bool lineBreak)
{
    const ImageLoad loaded = image_.fillArray(path);
    std::string problem;
    if (loaded != ImageLoad::Loaded)
        problem = ImageProblemText(path, {loaded, CheckImageFile(path).bytes});
    else if (image_.PageCount() == 0)
        problem = " Image file empty: " + path;  // erasing a board to write nothing leaves it dead
    if (problem.empty())
        return true;
    sink_.Log(problem + (lineBreak ? kCrLf : ""));
    return false;
}

void FirmwareRun::CountPages(const PagesWritten& written)
{
    result_.pagesWritten += written.pages;
    if (!written.complete())
        result_.failedPage = written.pages;
}

ResultCode FirmwareRun::FailureCode(FirmwareStep step) const
{
    return readBackDiffers_ ? ResultCode::ReadBackDiffers : CodeOf(step, bootError_);
}

FirmwareStep FirmwareRun::Failed(FirmwareStep step, BootError error, const char* ownText, bool ownTexts)
{
    bootError_ = error;
    errText_ = ownTexts ? ownText : error == BootError::Nack ? kNackText : "";
    return step;
}

FirmwareStep FirmwareRun::DirectSequence(const std::string& image, const char* loadError, bool ownTexts)
{
    if (!LoadImage(image, !ownTexts)) {
        errText_ = loadError;
        return FirmwareStep::ImageRefused;
    }
    direct_.DelayMs(kAfterLoadMs);
    if (const BootError error = direct_.Sync(); error != BootError::None)
        return Failed(FirmwareStep::Sync, error, "Set baudrate error  ...", ownTexts);
    direct_.DelayMs(kAfterSyncMs);
    if (const BootError error = direct_.Erase(); error != BootError::None)
        return Failed(FirmwareStep::Erase, error, "Erase data error  ...", ownTexts);
    direct_.DelayMs(kAfterEraseMs);
    const PagesWritten written = WritePagesDirect(direct_, image_, sink_);
    CountPages(written);
    if (!written.complete())
        return Failed(FirmwareStep::Write, written.error, "Write data error...", ownTexts);
    if (request_.verify) {
        const PagesVerified verified = VerifyPagesDirect(direct_, image_, sink_);
        if (!verified.complete()) {
            result_.failedPage = verified.pages;
            readBackDiffers_ = verified.differs;
            return Failed(FirmwareStep::Verify, verified.error, "Verify data error...", ownTexts);
        }
    }
    direct_.DelayMs(kAfterWriteMs);
    if (const BootError error = direct_.Go(boot::kFlashStart); error != BootError::None)
        return Failed(FirmwareStep::Go, error, "RUN error ...", ownTexts);
    return FirmwareStep::None;
}

FirmwareStep FirmwareRun::UploadMisBoard(const std::string& image)
{
    if (!LoadImage(image, true)) {
        errText_ = kPackageLoadError;
        return FirmwareStep::ImageRefused;
    }
    direct_.DelayMs(kAfterLoadMs);
    if (!SendBootCommand()) {
        errText_ = "Error in Command BOOT";
        return FirmwareStep::BootCommand;
    }
    direct_.DelayMs(kAfterBootCommandMs);
    if (request_.speed57600) {
        SendLinkSpeed();
        link_.BaudText = kSpeed57600;
    } else {
        link_.BaudText = kSpeed115200;
    }
    link_.InitSeriale(link_.CommPortNumber, link_.BaudText);
    direct_.DelayMs(kAfterLinkSpeedMs);

    BootClient tunnel(link_, sink_, BootRoute::Tunnel);
    if (const BootError error = tunnel.Sync(); error != BootError::None)
        return Failed(FirmwareStep::TunnelSync, error, "", false);
    direct_.DelayMs(kAfterSyncMs);
    if (const BootError error = tunnel.Erase(); error != BootError::None)
        return Failed(FirmwareStep::TunnelErase, error, "", false);
    direct_.DelayMs(kAfterEraseMs);
    const PagesWritten written = WritePagesTunnel(tunnel, image_, sink_);
    CountPages(written);
    if (!written.complete())
        return Failed(FirmwareStep::TunnelWrite, written.error, "", false);
    direct_.DelayMs(kAfterWriteMs);
    tunnel.Reset();  // not judged: its log says OK whatever came back
    return FirmwareStep::None;
}

bool FirmwareRun::SendBootCommand()
{
    link_.SendFrame({kBootCommand}, kAnswerWaitS);
    return link_.Rx.RxFrameDone && link_.Rx.RxCount >= kMinBootAnswerCount;
}

void FirmwareRun::SendLinkSpeed()
{
    link_.SendFrame({kLinkSpeedCommand, kLinkSpeed57600}, kAnswerWaitS);
}

}  // namespace

FirmwareResult UploadFirmware(OperationContext& context, const FirmwareRequest& request)
{
    FirmwareRun run(context, request);
    return run.Run();
}
