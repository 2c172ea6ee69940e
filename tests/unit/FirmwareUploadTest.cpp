// UploadFirmware from the start to the last log line against the simulated boards in virtual time:
// one board straight through its bootloader, two-board packages through the running CPU board, the
// step each failure stops at, and a program that ends while it runs. (The Upload tab around it:
// UploadFlow tests.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "firmware/BootClient.h"
#include "firmware/FirmwareUpload.h"
#include "sim/SimBoards.h"
#include "sim/SimPort.h"
#include "sim/VirtualHost.h"
#include "support/Files.h"
#include "support/FirmwareImages.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDialogs.h"
#include "support/SimTestHelpers.h"
#include "support/TempFolder.h"

namespace {

constexpr const char* kSyncOk = " Baudrate detection : OK\r\n";
constexpr const char* kEraseOk = " ERASE command      : OK\r\n MASS ERASE code    : OK\r\n";
constexpr const char* kRunOk = " Run command        : OK\r\n";
constexpr const char* kTunnelEraseOk = " MASS ERASE cmd     : OK\r\n MASS ERASE code    : OK\r\n";
const std::string kRestart = "Switch the instrument OFF, then ON again in its bootloader as the target's instructions say "
                             "(e.g. with Menu+GO pressed), and start again\r\n";

// Every text the log showed, in order.
class HistorySink : public RecordingSink {
public:
    void Log(const std::string& text) override { RecordingSink::Log(text); Note(); }
    void Live(const std::string& text) override { RecordingSink::Live(text); Note(); }
    void ClearLog() override { RecordingSink::ClearLog(); Note(); }
    bool Showed(const std::string& text) const
    {
        return std::any_of(history.begin(), history.end(), [&](const std::string& shown) { return shown.find(text) != std::string::npos; });
    }
    std::vector<std::string> history;

private:
    void Note()
    {
        if (history.empty() || history.back() != Text())
            history.push_back(Text());
    }
};

// The image as the flash holds it: padded with zeros to whole pages.
Bytes Padded(Bytes image)
{
    image.resize((image.size() + 255) / 256 * 256, 0x00);
    return image;
}

SimBootFault Refused(std::uint8_t command, SimBootStep step, int after = 0)
{
    return SimBootFault{false, command, step, std::nullopt, after, 1, 0, 0};
}

// The simulated boards on COM1 at the Upload tab's speed, a folder with a 3-page image of a 31400
// target and a package of a 3-page CPU image and a 6-page MIS image.
struct Firmware : ::testing::Test {
    std::vector<std::unique_ptr<std::function<void()>>> polls;
    VirtualHost host;
    SimInstrument instrument;
    SimBoards boards{instrument};
    SimPort port{boards, host};
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    HistorySink sink;
    TempFolder images;
    int runs = 0;
    bool verify = false;  // the runs read the board back
    Bytes image = FirmwareImage(700, 1);
    Bytes cpu = FirmwareImage(700, 3);
    Bytes mis = FirmwareImage(1400, 4);
    std::string file = WriteFile("31400_V2.bin", image);
    std::string package;

    Firmware()
    {
        port.SetExistingPorts({1});
        link.CommPortNumber = 1;
        link.BaudText = "57600";
        WriteFile("27520_CPU_V1.bin", cpu);
        WriteFile("27520_MIS_V1.bin", mis);
        package = WriteText("27520_Pack_V1-01.pkg", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n");
        boards.SetPowerOnDelay(4.0);
    }

    FirmwareResult Run(const std::string& target, const std::string& path, bool speed57600 = true)
    {
        sink.history.clear();
        OperationContext context{link, sink, images.Path()};
        const FirmwareResult result = UploadFirmware(context, {target, path, speed57600, verify});
        ++runs;  // a moment a run never came to is not looked for in the next
        return result;
    }
    FirmwareResult RunPackage() { return Run("QSVERIFs-MIN", package); }
    std::string Log() const { return sink.Text(); }
    std::string Path(const std::string& name) const { return images.Path(name); }
    std::string WriteFile(const std::string& name, const Bytes& bytes) const { return WriteFileBytes(Path(name), bytes); }
    std::string WriteText(const std::string& name, const std::string& text) const { return WriteFileText(Path(name), text); }
    std::string CpuPart() const
    {
        return std::string(kSyncOk) + kEraseOk + " Loaded 3 pages  : OK \r\n" + kRunOk + "TURN ON the instrument \r\n";
    }

    // Runs `action` once, at the first millisecond of virtual time of the next run at which
    // `condition` holds.
    void When(std::function<bool()> condition, std::function<void()> action)
    {
        polls.push_back(std::make_unique<std::function<void()>>());
        std::function<void()>* poll = polls.back().get();
        *poll = [this, poll, run = runs, condition = std::move(condition), action = std::move(action)] {
            if (run != runs)
                return;
            if (condition())
                action();
            else
                host.CallAfter(0.001, [poll] { (*poll)(); });
        };
        host.CallAfter(0.001, [poll] { (*poll)(); });
    }
    std::function<bool()> LogHas(const char* text)
    {
        return [this, text] { return Log().find(text) != std::string::npos; };
    }

    std::size_t Requests(std::uint8_t command) const { return instrument.CountRequests(command); }
    // The bootloader frames of the Read Memory commands on the line from write `from` on:
    // "11EE 0800010009 FF00 ...".
    std::string ReadMemoryFrames(std::size_t from = 0) const
    {
        std::string frames;
        const auto& writes = port.Writes();
        for (std::size_t i = from; i < writes.size(); ++i) {
            if (writes[i].size() > 4 && writes[i][2] == boot::kPassCommand && writes[i][3] == 0x11)
                frames += "through the CPU board ";
            if (writes[i] != Bytes{0x11, 0xEE})
                continue;
            frames += BytesToHex(writes[i]);
            for (std::size_t k = i + 1; k < writes.size() && k <= i + 2; ++k)
                frames += " " + BytesToHex(writes[k]);
            frames += " ";
        }
        return frames;
    }
    bool NothingErased() const
    {
        return boards.CpuBoot().MassErases() == 0 && boards.MisBoot().MassErases() == 0 && boards.CpuBoot().Writes() == 0 &&
               boards.MisBoot().Writes() == 0;
    }
    // The run ended closing its log with the result's reason, and the port closed.
    void ExpectEndedWithItsReason(const FirmwareResult& result) const
    {
        EXPECT_FALSE(result.ok());
        ASSERT_FALSE(result.reason.empty());
        ASSERT_GE(Log().size(), result.reason.size());
        EXPECT_EQ(Log().substr(Log().size() - result.reason.size()), result.reason);
        EXPECT_FALSE(port.IsOpen());
    }
    void ExpectLogEnds(const std::string& tail) const
    {
        ASSERT_GE(Log().size(), tail.size()) << Log();
        EXPECT_EQ(Log().substr(Log().size() - tail.size()), tail);
    }
};

}  // namespace

TEST_F(Firmware, ProgramsOneBoardWithTheExactLog)
{
    boards.StartCpuInBootloader();
    const FirmwareResult result = Run("QMX-ARN", file);
    EXPECT_EQ(Log(), std::string(kSyncOk) + kEraseOk + " Loaded 3 pages  : OK \r\n" + kRunOk +
                         "Upload completed succefully \r\n");
    EXPECT_TRUE(sink.Showed(std::string(kSyncOk) + kEraseOk + " Page 0/3 ..."));
    EXPECT_TRUE(sink.Showed(std::string(kSyncOk) + kEraseOk + " Page 2/3 ..."));
    EXPECT_EQ(boards.CpuBoot().ReadFlash(0, 768), Padded(image));
    EXPECT_TRUE(boards.CpuBoot().FlashErased(768, 256));
    EXPECT_TRUE(boards.CpuBoot().Running());
    EXPECT_EQ(port.LineSettings(), "57600,E,8,1");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(link.BaudText, "57600") << "the single-board flow keeps the speed";
    // 100 / 4 a page: the bar's halves to the even neighbour, the label's away from zero.
    EXPECT_EQ(sink.progress, (std::vector<int>{0, 25, 50, 75}));
    EXPECT_EQ(sink.progressLabel, "75%");
    EXPECT_FALSE(sink.progressShown);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.failedStep, FirmwareStep::None);
    EXPECT_EQ(result.boardsProgrammed, 1);
    EXPECT_EQ(result.pagesWritten, 3);
    EXPECT_EQ(result.reason, "");

    // At 115200 the direct route runs at that speed; without a target any name is programmed.
    link.BaudText = "115200";
    boards.StartCpuInBootloader();
    const std::string anyName = WriteFile("firmware.bin", FirmwareImage(300, 2));
    EXPECT_TRUE(Run("", anyName).ok()) << Log();
    EXPECT_EQ(port.LineSettings(), "115200,E,8,1");
    EXPECT_EQ(boards.CpuBoot().ReadFlash(0, 512), Padded(FirmwareImage(300, 2)));
}

// A step that fails ends the run with its text, and nothing after it is done; with verify, a page
// that reads back otherwise, or whose Read Memory goes unanswered or refused, stops the run before
// Go at that page.
TEST_F(Firmware, EveryFailingStepOfOneBoardEndsTheRunWithItsText)
{
    image = FirmwareImage(9 * 256 - 10, 2);
    WriteFile("31400_V2.bin", image);
    SimBootFault silentAddress = Refused(0x31, SimBootStep::Address);
    silentAddress.address = 0x08000300;
    silentAddress.silent = true;
    const auto fault = [](SimBootFault f) { return [f](SimBootloader& b) { b.AddFault(f); }; };
    const auto weak = [](std::size_t at) { return [at](SimBootloader& b) { b.AddWeakByte(at); }; };
    const std::string failed = "Upload failed! \r\n";
    const auto verifyFailed = [&](int page) {
        return " Loaded 9 pages  : OK \r\n Verify      : error at page " + std::to_string(page) + "\r\n\r\nVerify data error...\r\n" + failed;
    };
    const struct {
        const char* story;
        std::function<void(SimBootloader&)> fault;  // nothing: the instrument is not in bootloader mode
        bool verify;
        std::string tail;  // the end of the log
        FirmwareStep step;
        ResultCode code;
        int pagesWritten;
        std::optional<int> failedPage;
    } cases[] = {
        {"instrument not in bootloader mode", nullptr, false,
         " Baudrate detection : error\r\n Rx(3): 000000\r\nSet baudrate error  ...\r\n" + failed + kRestart,
         FirmwareStep::Sync, ResultCode::NoFrame, 0, std::nullopt},
        {"a bootloader a failed run had synchronised", [](SimBootloader& b) { b.Receive({boot::kSync}); }, false,
         " Baudrate detection : error\r\n Rx(3): 1F0000\r\nSet baudrate error  ...\r\n" + failed + kRestart,
         FirmwareStep::Sync, ResultCode::Nak, 0, std::nullopt},
        {"erase code refused", fault(Refused(0x44, SimBootStep::Data)), false,
         " ERASE command      : OK\r\n MASS ERASE code    : error\r\n Rx(3): 1F0000\r\nErase data error  ...\r\n" + failed,
         FirmwareStep::Erase, ResultCode::Nak, 0, std::nullopt},
        {"write command of page 2 refused", fault(Refused(0x31, SimBootStep::Command, 2)), false,
         " Page 2/9 ...\r\n Tx: 0x31    Rx(3): 1F0000\r\n\r\nWrite data error...\r\n" + failed, FirmwareStep::Write,
         ResultCode::Nak, 2, 2},
        {"address of page 3 unanswered", fault(silentAddress), false,
         " Page 3/9 ...\r\n Addr: 08000300\r\n  Rx(3): 000000\r\nWrite data error...\r\n" + failed, FirmwareStep::Write,
         ResultCode::NoFrame, 3, 3},
        {"a NACK on the data block of page 5", fault(SimBootloader::NackWriteData(0x08000500, 1)), false,
         " Page 5/9 ...\r\n data: 1F\r\n Rx(3): 1F0000\r\nWrite data error...\r\n" + failed, FirmwareStep::Write,
         ResultCode::Nak, 5, 5},
        {"go refused", fault(Refused(0x21, SimBootStep::Command)), false,
         " Loaded 9 pages  : OK \r\n Run command        : error !\r\n\r\nRUN error ...\r\n" + failed, FirmwareStep::Go,
         ResultCode::Nak, 9, std::nullopt},
        {"a flash byte of page 3 changed after programming", weak(3 * 256 + 17), true, verifyFailed(3),
         FirmwareStep::Verify, ResultCode::ReadBackDiffers, 9, 3},
        {"the last byte of the last page changed", weak(9 * 256 - 1), true, verifyFailed(8), FirmwareStep::Verify,
         ResultCode::ReadBackDiffers, 9, 8},
        {"Read Memory unanswered", fault(SimBootloader::SilentRead()), true, verifyFailed(0), FirmwareStep::Verify,
         ResultCode::NoFrame, 9, 0},
        {"Read Memory refused", fault(Refused(0x11, SimBootStep::Command)), true, verifyFailed(0), FirmwareStep::Verify,
         ResultCode::Nak, 9, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        SimBootloader fresh;
        std::swap(boards.CpuBoot(), fresh);
        if (c.fault) {
            boards.StartCpuInBootloader();
            c.fault(boards.CpuBoot());
        }
        verify = c.verify;
        const FirmwareResult result = Run("QMX-ARN", file);
        ExpectLogEnds(c.tail);
        EXPECT_EQ(boards.CpuBoot().Writes(), c.pagesWritten);
        if (!c.fault) {
            EXPECT_TRUE(NothingErased());
        } else if (c.pagesWritten > 0 && c.pagesWritten < 9) {
            EXPECT_TRUE(boards.CpuBoot().FlashErased(c.pagesWritten * 256, (9 - c.pagesWritten) * 256)) << "nothing written from there";
        }
        EXPECT_FALSE(boards.CpuBoot().Running()) << "no Go after a failure";
        EXPECT_FALSE(sink.progressShown);
        ExpectEndedWithItsReason(result);
        EXPECT_EQ(result.failedStep, c.step);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.pagesWritten, c.pagesWritten);
        EXPECT_EQ(result.failedPage, c.failedPage);
        EXPECT_EQ(result.boardsProgrammed, 0);
    }
}

// With verify, every page is read back (Read Memory of 256 bytes at its address) once all are
// written, and only then is the board started. On a package the CPU board is read back (the MIS
// board, written through it, is not: its run ends there when a page differs).
TEST_F(Firmware, VerifyReadsEveryPageOfTheDirectRouteBackBeforeGo)
{
    verify = true;
    boards.StartCpuInBootloader();
    const FirmwareResult result = Run("QMX-ARN", file);
    EXPECT_EQ(Log(), std::string(kSyncOk) + kEraseOk + " Loaded 3 pages  : OK \r\n Verify      : OK\r\n" + kRunOk +
                         "Upload completed succefully \r\n");
    EXPECT_EQ(ReadMemoryFrames(), "11EE 0800000008 FF00 11EE 0800010009 FF00 11EE 080002000A FF00 ");
    EXPECT_TRUE(sink.Showed(" Loaded 3 pages  : OK \r\n Verify      : page 0/3 ..."));
    EXPECT_TRUE(sink.Showed(" Loaded 3 pages  : OK \r\n Verify      : page 2/3 ..."));
    EXPECT_EQ(sink.progress, (std::vector<int>{0, 25, 50, 75, 0, 25, 50, 75})) << "the bar counts again";
    EXPECT_FALSE(sink.progressShown);
    EXPECT_TRUE(boards.CpuBoot().Running());
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.pagesWritten, 3);

    const std::size_t writes = port.Writes().size();
    boards.StartCpuInBootloader();
    EXPECT_TRUE(RunPackage().ok()) << Log();
    EXPECT_EQ(ReadMemoryFrames(writes), "11EE 0800000008 FF00 11EE 0800010009 FF00 11EE 080002000A FF00 ");

    boards.StartCpuInBootloader();
    boards.CpuBoot().AddWeakByte(256);
    const int misWrites = boards.MisBoot().Writes();
    const FirmwareResult failed = RunPackage();
    EXPECT_EQ(Log(), std::string(kSyncOk) + kEraseOk + " Loaded 3 pages  : OK \r\n Verify      : error at page 1\r\n\r\n" +
                         "Upload failed \r\n");
    ExpectEndedWithItsReason(failed);
    EXPECT_EQ(failed.failedStep, FirmwareStep::Verify);
    EXPECT_EQ(failed.code, ResultCode::ReadBackDiffers);
    EXPECT_EQ(failed.failedPage, std::optional<int>(1));
    EXPECT_EQ(boards.MisBoot().Writes(), misWrites);
}

// A file that does not fit the target, an image that cannot load and a package that does not name
// its two images are refused before anything is sent.
TEST_F(Firmware, WhatCannotBeProgrammedIsRefusedBeforeAnythingIsSent)
{
    const std::string tooLarge = WriteFile("31400_big.bin", Bytes(2048257, 0x11));
    const std::string empty = WriteFile("31400_empty.bin", {});
    const std::string missing = Path("31400_none.bin");
    std::filesystem::create_directory(FsPath(Path("31400_set")));
    const std::string inFolder = WriteFile("31400_set/VERTA_V2.bin", FirmwareImage(700, 7));
    const std::string cpuPath = Path("27520_CPU_V1.bin");
    const std::string misPath = Path("27520_MIS_V1.bin");
    const std::string direct = "\r\nError in the <fillArray> function ...\r\nUpload failed! \r\n";
    const std::string inPackage = "\r\nError in the function <fillArray>\r\nUpload failed \r\n";
    const auto lines = [this](const char* content) { return [this, content] { WriteText("27520_Pack_V1-01.pkg", content); }; };
    const auto none = [] {};
    const struct {
        const char* target;
        std::string file;
        std::function<void()> prepare;
        std::string log;
        FirmwareStep step;
    } cases[] = {
        {"QMX-ARN", package, none, " Upload not started: QMX-ARN takes a file *31400_*.bin, not 27520_Pack_V1-01.pkg\r\n",
         FirmwareStep::FileNotForTarget},
        {"QSVERIFs-MIN", file, none, " Upload not started: QSVERIFs-MIN takes a file *.pkg, not 31400_V2.bin\r\n",
         FirmwareStep::FileNotForTarget},
        {"QMX-ARN", inFolder, none, " Upload not started: QMX-ARN takes a file *31400_*.bin, not VERTA_V2.bin\r\n",
         FirmwareStep::FileNotForTarget},
        {"QMX-ARN-X", file, none, " Upload not started: no firmware target named QMX-ARN-X\r\n", FirmwareStep::FileNotForTarget},
        {"QMX-ARN", missing, none, " Image file not found: " + missing + direct, FirmwareStep::ImageRefused},
        {"QMX-ARN", tooLarge, none, " Image file too large: " + tooLarge + " (2048257 bytes, at most 2048256)" + direct,
         FirmwareStep::ImageRefused},
        {"QMX-ARN", empty, none, " Image file empty: " + empty + direct, FirmwareStep::ImageRefused},
        {"QSVERIFs-MIN", package, lines("27520_CPU_V1.bin\r\n"),
         " Package file error: fewer than two lines in " + package + "\r\nUpload failed \r\n", FirmwareStep::PackageRefused},
        {"QSVERIFs-MIN", package, lines("27520_MIS_V1.bin\r\nreadme.txt\r\n"),
         " Package file error: no _CPU image named in " + package + "\r\nUpload failed \r\n", FirmwareStep::PackageRefused},
        {"QSVERIFs-MIN", package, lines("27520_CPU_V1.bin\r\nreadme.txt\r\n"),
         " Package file error: no _MIS image named in " + package + "\r\nUpload failed \r\n", FirmwareStep::PackageRefused},
        {"QSVERIFs-MIN", package, [&] { lines("27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n")(); std::remove(cpuPath.c_str()); },
         " Image file not found: " + cpuPath + inPackage, FirmwareStep::ImageRefused},
        {"QSVERIFs-MIN", package, [&] { WriteFile("27520_CPU_V1.bin", cpu); WriteFile("27520_MIS_V1.bin", Bytes(2048257, 0)); },
         " Image file too large: " + misPath + " (2048257 bytes, at most 2048256)" + inPackage, FirmwareStep::ImageRefused},
        {"QSVERIFs-MIN", package, [&] { WriteFile("27520_MIS_V1.bin", {}); }, " Image file empty: " + misPath + inPackage,
         FirmwareStep::ImageRefused},
    };
    boards.StartCpuInBootloader();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        c.prepare();
        const int opens = port.Opens();
        const FirmwareResult result = Run(c.target, c.file);
        EXPECT_EQ(Log(), c.log);
        EXPECT_TRUE(port.Writes().empty()) << "nothing sent";
        EXPECT_EQ(port.Opens() - opens, c.step == FirmwareStep::FileNotForTarget ? 0 : 1) << "a file not for the target: not even opened";
        EXPECT_TRUE(NothingErased());
        ExpectEndedWithItsReason(result);
        EXPECT_EQ(result.failedStep, c.step);
        EXPECT_EQ(result.code, ResultCode::Refused);
    }
    // Letter case aside, as the dialog offers it; the largest image that fits is accepted (1 MiB of
    // flash ends at page 4096).
    EXPECT_TRUE(Run("QMX-ARN", WriteFile("31400_v3.BIN", FirmwareImage(300, 8))).ok()) << Log();
    boards.StartCpuInBootloader();
    boards.SetBootTimes({0.001, 0.001, 0.0});
    const FirmwareResult result = Run("QMX-ARN", WriteFile("31400_max.bin", Bytes(2048256, 0x22)));
    EXPECT_TRUE(sink.Showed(" Page 4096/8001 ..."));
    EXPECT_EQ(result.failedStep, FirmwareStep::Write);
    EXPECT_EQ(result.failedPage, 4096);
}

TEST_F(Firmware, APortThatCannotBeOpenedEndsTheRunBeforeAnythingIsSent)
{
    const struct {
        bool exists;
        bool package;
        Interruption::Kind kind;
        ResultCode code;
        const char* failed;
    } cases[] = {
        {false, false, Interruption::Kind::PortMissing, ResultCode::PortMissing, "Upload failed! "},
        {true, true, Interruption::Kind::SystemError, ResultCode::Refused, "Upload failed "},  // held by another program
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failed);
        port.SetExistingPorts(c.exists ? std::set<int>{1} : std::set<int>{});
        port.SetBusy(1, c.exists);
        const FirmwareResult result = c.package ? RunPackage() : Run("QMX-ARN", file);
        EXPECT_EQ(Log(), std::string("\r\nSerial port not available\r\n") + c.failed + "\r\n");
        EXPECT_TRUE(port.Writes().empty());
        EXPECT_EQ(dialogs.messages.size(), 1u) << "the port's message box";
        dialogs.messages.clear();
        ExpectEndedWithItsReason(result);
        EXPECT_EQ(result.failedStep, FirmwareStep::Port);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.interruption.kind, c.kind);
        EXPECT_EQ(result.interruption.description, link.LastOpenError().description);
    }
}

TEST_F(Firmware, BothBoardsOfAPackageProgrammedForEitherLineOrder)
{
    for (const char* content : {"27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n", "27520_MIS_V1.bin\r\n27520_CPU_V1.bin\r\n"}) {
        SCOPED_TRACE(content);
        WriteText("27520_Pack_V1-01.pkg", content);
        boards.StartCpuInBootloader();
        const double start = host.Now();
        const FirmwareResult result = RunPackage();
        EXPECT_EQ(Log(), CpuPart() + "\r\n" + kSyncOk + kTunnelEraseOk + "Prog. N.6/6\r\n Reset SW Command: OK \r\n" +
                             " >> Upload Success \r\n ***** TURN OFF the instrument ***** \r\n");
        EXPECT_EQ(boards.CpuBoot().ReadFlash(0, 768), Padded(cpu)) << "the CPU image went to the CPU board";
        EXPECT_EQ(boards.MisBoot().ReadFlash(0, 1536), Padded(mis));
        EXPECT_TRUE(sink.Showed(CpuPart() + "timeOut = 3"));
        EXPECT_TRUE(sink.Showed(CpuPart() + "\r\n" + kSyncOk + kTunnelEraseOk + "Prog. N.1/6"));
        EXPECT_EQ(boards.MisResets(), content[6] == 'C' ? 1 : 2);
        EXPECT_GT(host.Now() - start, 4.0) << "waited for the instrument";
        EXPECT_FALSE(port.IsOpen());
        ASSERT_FALSE(sink.progress.empty());
        EXPECT_EQ(sink.progress.back(), 86);
        EXPECT_EQ(sink.progressLabel, "") << "the tunnel's bar has no percentage";
        EXPECT_TRUE(result.ok());
        EXPECT_EQ(result.boardsProgrammed, 2);
        EXPECT_EQ(result.pagesWritten, 9);
    }
    // The boot command's answer counts from 6 bytes on, its ACK included: the ACK and an empty
    // answer frame open the tunnel (one byte less does not: the failures below).
    boards.StartCpuInBootloader();
    instrument.AddFault(SimFaultRule::Command(0xD0, SimFault::Scripted).WithBytes(simtest::Acked({})).Times(1));
    EXPECT_TRUE(RunPackage().ok()) << Log();
}

TEST_F(Firmware, InstrumentNotSwitchedOnWithin15Seconds)
{
    boards.SetPowerOnDelay(-1.0);
    boards.StartCpuInBootloader();
    double start = 0.0;
    When(LogHas("TURN ON"), [&] { start = host.Now(); });
    const FirmwareResult result = RunPackage();
    EXPECT_EQ(Log(), CpuPart() + "\r\nExit due to Timeout \r\n");
    EXPECT_TRUE(sink.Showed(CpuPart() + "timeOut = 14"));
    EXPECT_FALSE(sink.Showed(CpuPart() + "timeOut = 15"));
    EXPECT_EQ(boards.MisBoot().MassErases(), 0);
    EXPECT_EQ(Requests(0xD0), 0u);
    const double waited = host.Now() - start;
    EXPECT_GT(waited, 15.0);
    // The attempt under way at 15 s is finished: the quiet line after the attempt before it, its
    // 0.4 s acknowledge wait and the 0.1 s pause.
    EXPECT_LT(waited, 15.0 + kLateAnswerQuietS + 0.4 + 0.1 + 0.05);
    ExpectEndedWithItsReason(result);
    EXPECT_EQ(result.failedStep, FirmwareStep::InstrumentNotOn);
    EXPECT_EQ(result.boardsProgrammed, 1);
    EXPECT_EQ(result.pagesWritten, 3);
}

// A package that fails on its CPU board or past it ends with what the exchange left; a bootloader
// that does not answer its sync stays so until the instrument is switched off, and the MIS board is
// reached only through a CPU board started afresh: the log ends with what to do.
TEST_F(Firmware, PackageFailuresEndWithWhatTheExchangeLeft)
{
    const std::string misFailed = "\r\nUpload mis board failed \r\n";
    const struct {
        const char* story;
        std::function<void()> prepare;
        std::string tail;
        FirmwareStep step;
        ResultCode code;
        int boards;
        int pagesWritten;
    } cases[] = {
        {"the CPU board's bootloader already synchronised", [this] { boards.CpuBoot().Receive({boot::kSync}); },
         std::string(" Baudrate detection : error\r\n Rx(3): 1F0000") + kNackText + "\r\nUpload failed \r\n" + kRestart,
         FirmwareStep::Sync, ResultCode::Nak, 0, 0},
        {"the boot command answered with 5 bytes",
         [this] { instrument.AddFault(SimFaultRule::Command(0xD0, SimFault::Scripted).WithBytes({0x06, 0x01, 0x03, 0x00, 0x04}).Times(1)); },
         CpuPart() + "\r\nError in Command BOOT" + misFailed, FirmwareStep::BootCommand, ResultCode::NoFrame, 1, 3},
        {"the MIS board silent behind the CPU board",
         [this] { instrument.AddFault(SimFaultRule::Command(boot::kPassCommand, SimFault::Silence).Times(1)); },
         CpuPart() + "\r\n Baudrate detection : \r\n" + misFailed +
             "Switch the instrument OFF and run the whole package again, starting the CPU board in its bootloader (Menu+GO "
             "pressed)\r\n",
         FirmwareStep::TunnelSync, ResultCode::NoFrame, 1, 3},
        {"the MIS erase code refused", [this] { boards.MisBoot().AddFault(Refused(0x44, SimBootStep::Data)); },
         std::string(kSyncOk) + " MASS ERASE cmd     : OK\r\n MASS ERASE code    : \r\n" + kNackText + misFailed,
         FirmwareStep::TunnelErase, ResultCode::Nak, 1, 3},
        {"MIS page 2 refused", [this] { boards.MisBoot().AddFault(SimBootloader::NackWriteData(0x08000200, 1)); },
         std::string(kTunnelEraseOk) + "Prog. N.2/6" + kNackText + misFailed, FirmwareStep::TunnelWrite, ResultCode::Nak, 1, 3 + 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        instrument.ClearRecord();
        boards.StartCpuInBootloader();
        const int misErases = boards.MisBoot().MassErases();
        c.prepare();
        const FirmwareResult result = RunPackage();
        ExpectLogEnds(c.tail);
        EXPECT_EQ(Requests(0xD3), 0u) << "no reset after a failure";
        EXPECT_EQ(boards.MisBoot().MassErases() - misErases, c.step == FirmwareStep::TunnelWrite ? 1 : 0);
        EXPECT_EQ(Requests(0xD1) == 0, c.boards == 0 || c.step == FirmwareStep::BootCommand) << "no tunnel that did not open";
        ExpectEndedWithItsReason(result);
        EXPECT_EQ(result.failedStep, c.step);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.boardsProgrammed, c.boards);
        EXPECT_EQ(result.pagesWritten, c.pagesWritten);
    }
}

// A package written on Windows, kept in a folder named in the technician's language: lines with
// back slashes, names in other letter case and in Windows' own code page reach their boards. (How
// each line is resolved: PackageFile.)
TEST_F(Firmware, APackageWrittenTheWindowsWayInAFolderWithAccentedLetters)
{
    const std::string folder = "Versioni pi\xC3\xB9 recenti";
    std::filesystem::create_directories(FsPath(Path(folder + "/bin")));
    WriteFile(folder + "/bin/Citt\xC3\xA0_CPU.bin", FirmwareImage(600, 5));
    WriteFile(folder + "/bin/27520_MIS_V2.bin", FirmwareImage(900, 6));
    const std::string inFolder = WriteText(folder + "/27520_Pack_V1-01.pkg", "bin\\Citt\xE0_CPU.bin\r\n.\\BIN\\27520_mis_v2.BIN\r\n");
    boards.StartCpuInBootloader();
    EXPECT_TRUE(Run("QSVERIFs-MIN", inFolder).ok()) << Log();
    EXPECT_EQ(boards.CpuBoot().ReadFlash(0, 768), Padded(FirmwareImage(600, 5)));
    EXPECT_EQ(boards.MisBoot().ReadFlash(0, 1024), Padded(FirmwareImage(900, 6)));

    boards.StartCpuInBootloader();
    EXPECT_TRUE(Run("QSVERIFs-MAX", WriteFile(folder + "/27510_V3.bin", FirmwareImage(500, 9))).ok()) << Log();
    EXPECT_EQ(boards.CpuBoot().ReadFlash(0, 512), Padded(FirmwareImage(500, 9)));
}

// Once the program is ending nothing more goes out on the line, wherever the run was: the board
// is left as it stands, not erased, switched to another speed or synchronised half-way, and the
// run says it was stopped.
TEST_F(Firmware, AProgramEndingSendsNothingMore)
{
    const std::string longImage = WriteFile("31400_V3.bin", FirmwareImage(40 * 256, 5));
    const struct {
        const char* story;
        bool package;
        std::function<bool()> moment;
        double after;  // seconds from the moment to the end
        bool paced;    // bytes take their line time, so that each page line stands a while
        double powerOnS;
    } cases[] = {
        {"in the pause after the CPU board's sync", false, LogHas(" Baudrate detection : OK"), 0.1, false, 4.0},
        {"while CPU pages are written", false, LogHas(" Page 10/40"), 0.0, true, 4.0},
        {"between two attempts to reach an instrument never switched on", true, LogHas("timeOut = 3"), 0.0, false, -1.0},
        {"0.15 s after the boot command", true, [this] { return Requests(0xD0) > 0; }, 0.15, false, 4.0},
        {"while MIS pages are written", true, LogHas("Prog. N.2/6"), 0.0, false, 4.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        host.SetQuitting(false);
        instrument.ClearRecord();
        boards.StartCpuInBootloader();
        boards.SetPowerOnDelay(c.powerOnS);
        port.SetPacing(c.paced);
        std::optional<std::size_t> writesAtEnd;
        When(c.moment, [&] {
            host.CallAfter(c.after, [&] {
                writesAtEnd = port.Writes().size();
                host.RequestQuit();
            });
        });
        const double start = host.Now();
        const FirmwareResult result = c.package ? RunPackage() : Run("QMX-ARN", longImage);
        ASSERT_TRUE(writesAtEnd) << Log();
        EXPECT_EQ(port.Writes().size(), *writesAtEnd) << "sent after the end: " << BytesToHex(port.Writes().back());
        EXPECT_LT(host.Now() - start, 12.0) << "ended at once, not after the wait it was in";
        for (const char* text : {"Exit due to Timeout", "Upload completed", "Upload Success"})
            EXPECT_EQ(Log().find(text), std::string::npos) << text;
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(result.failedStep, FirmwareStep::Stopped);
        EXPECT_EQ(result.interruption.kind, Interruption::Kind::Stopped);
        EXPECT_FALSE(result.ok());
    }
}
