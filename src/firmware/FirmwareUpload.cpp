#include "firmware/FirmwareUpload.h"

#include "core/Paths.h"
#include "core/ResultCodes.h"
#include "firmware/PackageFile.h"
#include "firmware/UploadTargets.h"
#include "link/Commands.h"

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

// Empty when the target's file dialog would offer the chosen file.
std::string FileRefusal(const std::string& targetName, const FirmwareTarget& target, const std::string& chosenFile)
{
    const std::string name = FileNameOfPath(chosenFile);
    if (FileFitsTarget(target, name))
        return {};
    return NotStarted(targetName + " takes a file " + FilePattern(target) + ", not " + name);
}

}  // namespace

FirmwareUpload::FirmwareUpload(SerialLink& link, UploadView& view, FirmwareChoice& choice, PageImage& image)
    : link_(link), view_(view), choice_(choice), image_(image), client_(link)
{
}

bool FirmwareUpload::RunForTarget(const std::string& targetName)
{
    const FirmwareTarget* target = FindFirmwareTarget(targetName);
    if (!target)
        return RunChecked(false, NotStarted("no firmware target named " + targetName));
    return RunChecked(target->flow == FirmwareFlow::TwoBoardPackage, FileRefusal(targetName, *target, choice_.ChosenFile));
}

bool FirmwareUpload::Run(bool package)
{
    return RunChecked(package, {});
}

bool FirmwareUpload::RunChecked(bool package, const std::string& refusal)
{
    view_.SetControlsEnabled(false);
    view_.SetBarValue(0);
    view_.SetText("");
    view_.RepaintLog();

    // The closing step, on every way out.
    struct Closing {
        FirmwareUpload& upload;
        ~Closing()
        {
            upload.client_.CloseBootPort();
            upload.link_.Boot.LogBox = nullptr;
            upload.view_.SetControlsEnabled(true);
        }
    } closing{*this};

    syncFailed_ = false;
    if (!refusal.empty()) {
        Append(refusal);
        return false;
    }
    link_.BootMode = true;
    link_.Boot.LogBox = &view_;
    client_.SetupBootPort(link_.BaudText);
    if (!client_.OpenBootPort()) {
        Append(std::string(kCrLf) + "Serial port not available" + kCrLf + (package ? "Upload failed " : "Upload failed! ") +
               kCrLf);
        return false;
    }
    return package ? PackageFlow() : SingleBoardFlow();
}

bool FirmwareUpload::SingleBoardFlow()
{
    // The file checked at Start, not an image a package run left behind.
    choice_.FirmwareFile = choice_.ChosenFile;
    if (UploadDirect()) {
        Append(std::string("Upload completed succefully ") + kCrLf);
        return true;
    }
    Append(kCrLf + link_.Boot.ErrText + kCrLf + "Upload failed! " + kCrLf);
    AdviseAfterFailedSync(kRestartBootloader);
    return false;
}

bool FirmwareUpload::PackageFlow()
{
    const PackageImages package = ReadPackageFile(choice_.ChosenFile, choice_.ChosenFolder);
    if (!package.ok()) {
        Append(package.problem + kCrLf + "Upload failed " + kCrLf);
        return false;
    }
    choice_.FirmwareFile = package.cpuFile;
    choice_.MisFirmwareFile = package.misFile;

    // Both images must load before the CPU board is erased; the CPU image is loaded by its sequence.
    const ImageCheck mis = CheckImageFile(choice_.MisFirmwareFile);
    if (mis.result != ImageLoad::Loaded || mis.bytes == 0) {
        const std::string problem = mis.result != ImageLoad::Loaded ? ImageProblemText(choice_.MisFirmwareFile, mis)
                                                                     : " Image file empty: " + choice_.MisFirmwareFile;
        Append(problem + kCrLf + kPackageLoadError + kCrLf + "Upload failed " + kCrLf);
        return false;
    }

    if (!UploadCpuBoard()) {
        Append(link_.Boot.ErrText + kCrLf + "Upload failed " + kCrLf);
        AdviseAfterFailedSync(kRestartBootloader);
        return false;
    }
    Append(std::string("TURN ON the instrument ") + kCrLf);
    client_.CloseBootPort();
    link_.BaudText = "115200";
    link_.InitSeriale(link_.CommPortNumber, link_.BaudText);

    if (!WaitForInstrument()) {
        if (!Quitting())
            Append(std::string("Exit due to Timeout ") + kCrLf);
        return false;
    }
    choice_.FirmwareFile = choice_.MisFirmwareFile;
    if (UploadMisBoard()) {
        Append(std::string(" >> Upload Success ") + kCrLf + " ***** TURN OFF the instrument ***** " + kCrLf);
        return true;
    }
    Append(link_.Boot.ErrText + kCrLf + "Upload mis board failed " + kCrLf);
    AdviseAfterFailedSync(kRerunPackage);
    return false;
}

void FirmwareUpload::AdviseAfterFailedSync(const char* advice)
{
    if (syncFailed_)
        Append(advice + std::string(kCrLf));
}

bool FirmwareUpload::WaitForInstrument()
{
    const std::string base = view_.Text();
    std::int32_t& ticks = link_.Boot.TimeOutFlag;
    {
        TickerGuard ticker(link_.host(), ticks);
        for (;;) {
            InstrumentInfo info;
            // Both conditions are looked at every time round.
            const bool silent = ReadInstrumentInfo(link_, info) != code::kOk;
            const bool inTime = ticks < kPowerOnTimeoutS;
            if (!silent || !inTime || Quitting())
                break;
            view_.SetText(base + "timeOut = " + std::to_string(ticks));
            link_.host().Yield(link_.host().Now());
            client_.DelayMs(kIdentifyRetryMs);
        }
    }
    view_.SetText(base + kCrLf);
    return ticks < kPowerOnTimeoutS && !Quitting();
}

bool FirmwareUpload::LoadImage(const std::string& path, bool lineBreak)
{
    const ImageLoad loaded = image_.fillArray(path, link_.Boot);
    std::string problem;
    if (loaded != ImageLoad::Loaded)
        problem = ImageProblemText(path, {loaded, CheckImageFile(path).bytes});
    else if (link_.Boot.PageCount == 0)
        problem = " Image file empty: " + path;  // erasing a board to write nothing leaves it dead
    if (problem.empty())
        return true;
    Append(problem + (lineBreak ? kCrLf : ""));
    return false;
}

bool FirmwareUpload::DirectSequence(const char* loadError, bool ownTexts)
{
    BootContext& b = link_.Boot;
    const auto fail = [&](const char* text) {
        if (ownTexts)
            b.ErrText = text;
        return false;
    };
    if (!LoadImage(choice_.FirmwareFile, !ownTexts)) {
        b.ErrText = loadError;
        return false;
    }
    client_.DelayMs(kAfterLoadMs);
    if (!client_.BootSync()) {
        syncFailed_ = true;
        return fail("Set baudrate error  ...");
    }
    client_.DelayMs(kAfterSyncMs);
    if (!client_.BootMassErase())
        return fail("Erase data error  ...");
    client_.DelayMs(kAfterEraseMs);
    if (!WritePagesDirect(client_, image_, view_))
        return fail("Write data error...");
    client_.DelayMs(kAfterWriteMs);
    if (!client_.BootGo())
        return fail("RUN error ...");
    return true;
}

bool FirmwareUpload::UploadDirect()
{
    return DirectSequence(kDirectLoadError, true);
}

bool FirmwareUpload::UploadCpuBoard()
{
    return DirectSequence(kPackageLoadError, false);
}

bool FirmwareUpload::UploadMisBoard()
{
    BootContext& b = link_.Boot;
    if (!LoadImage(choice_.FirmwareFile, true)) {
        b.ErrText = kPackageLoadError;
        return false;
    }
    client_.DelayMs(kAfterLoadMs);
    if (!SendBootCommand()) {
        b.ErrText = "Error in Command BOOT";
        return false;
    }
    client_.DelayMs(kAfterBootCommandMs);
    if (view_.Speed57600Chosen()) {
        SendLinkSpeed();
        link_.BaudText = "57600";
    } else {
        link_.BaudText = "115200";
    }
    link_.InitSeriale(link_.CommPortNumber, link_.BaudText);
    client_.DelayMs(kAfterLinkSpeedMs);
    if (!client_.TunnelSync()) {
        syncFailed_ = true;
        return false;
    }
    client_.DelayMs(kAfterSyncMs);
    if (!client_.TunnelMassErase())
        return false;
    client_.DelayMs(kAfterEraseMs);
    if (!WritePagesTunnel(client_, image_, view_))
        return false;
    client_.DelayMs(kAfterWriteMs);
    client_.TunnelReset();
    return true;
}

bool FirmwareUpload::SendBootCommand()
{
    link_.SendFrame({kBootCommand}, kAnswerWaitS);
    return link_.Rx.RxFrameDone && link_.Rx.RxCount >= kMinBootAnswerCount;
}

void FirmwareUpload::SendLinkSpeed()
{
    link_.SendFrame({kLinkSpeedCommand, kLinkSpeed57600}, kAnswerWaitS);
}
