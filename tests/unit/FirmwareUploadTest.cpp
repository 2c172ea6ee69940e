// UploadFirmware from the start to the last log line against the simulated boards in virtual time:
// one board straight through its bootloader, two-board packages through the running CPU board, the
// step each failure stops at, and a program that ends while it runs. (The Upload tab around it:
// UploadFlow tests.)
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "core/Platform.h"
#include "firmware/BootClient.h"
#include "firmware/FirmwareUpload.h"
#include "link/Identify.h"
#include "sim/SimBoards.h"
#include "sim/SimPort.h"
#include "sim/VirtualHost.h"
#include "support/Files.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDialogs.h"
#include "support/SimTestHelpers.h"
#include "support/TempFolder.h"

namespace {

constexpr const char* kSyncOk = " Baudrate detection : OK\r\n";
constexpr const char* kEraseOk = " ERASE command      : OK\r\n MASS ERASE code    : OK\r\n";
constexpr const char* kRunOk = " Run command        : OK\r\n";
constexpr const char* kTunnelEraseOk = " MASS ERASE cmd     : OK\r\n MASS ERASE code    : OK\r\n";

// Every text the log showed, in order.
class HistorySink : public RecordingSink {
public:
    void Log(const std::string& text) override
    {
        RecordingSink::Log(text);
        Note();
    }
    void Live(const std::string& text) override
    {
        RecordingSink::Live(text);
        Note();
    }
    void ClearLog() override
    {
        RecordingSink::ClearLog();
        Note();
    }
    bool Showed(const std::string& text) const
    {
        for (const auto& shown : history)
            if (shown.find(text) != std::string::npos)
                return true;
        return false;
    }

    std::vector<std::string> history;

private:
    void Note()
    {
        if (history.empty() || history.back() != Text())
            history.push_back(Text());
    }
};

// The simulated boards on COM1 at the Upload tab's speed, a folder for images and packages.
struct FirmwareRig : ::testing::Test {
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

    FirmwareRig()
    {
        port.SetExistingPorts({1});
        link.CommPortNumber = 1;
        link.BaudText = "57600";
    }

    FirmwareResult Run(const std::string& target, const std::string& file, bool speed57600 = true)
    {
        sink.history.clear();
        OperationContext context{link, sink, images.Path()};
        const FirmwareResult result = UploadFirmware(context, {target, file, speed57600, verify});
        ++runs;  // a moment a run never came to is not looked for in the next
        return result;
    }
    std::string Log() const { return sink.Text(); }

    std::string Path(const std::string& name) const { return images.Path(name); }
    std::string WriteFile(const std::string& name, const Bytes& bytes) const { return WriteFileBytes(Path(name), bytes); }
    std::string WriteText(const std::string& name, const std::string& text) const { return WriteFileText(Path(name), text); }
    static Bytes Image(std::size_t size, unsigned seed)
    {
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>((i * 37 + seed * 11 + (i >> 8)) & 0xFF);
        return bytes;
    }
    // The image as the flash holds it: padded with zeros to whole pages.
    static Bytes Padded(Bytes image)
    {
        image.resize((image.size() + 255) / 256 * 256, 0x00);
        return image;
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
    // The bootloader frames of the Read Memory commands on the line, straight and through the CPU
    // board: "11EE 0800010009 FF00 ...".
    std::string ReadMemoryFrames() const
    {
        std::string frames;
        const auto& writes = port.Writes();
        for (std::size_t i = 0; i < writes.size(); ++i) {
            const bool tunnelled = writes[i].size() > 4 && writes[i][2] == boot::kPassCommand && writes[i][3] == 0x11;
            if (tunnelled)
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
};

struct SingleBoard : FirmwareRig {
    Bytes image = Image(700, 1);  // 3 pages
    std::string file;
    void SetUp() override { file = WriteFile("31400_V2.bin", image); }
};

SimBootFault Refused(std::uint8_t command, SimBootStep step, int after = 0)
{
    return SimBootFault{false, command, step, std::nullopt, after, 1, 0, 0};
}

}  // namespace

TEST_F(SingleBoard, ProgramsTheBoardWithTheExactLog)
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
    const std::string anyName = WriteFile("firmware.bin", Image(300, 2));
    EXPECT_TRUE(Run("", anyName).ok()) << Log();
    EXPECT_EQ(port.LineSettings(), "115200,E,8,1");
    EXPECT_EQ(boards.CpuBoot().ReadFlash(0, 512), Padded(Image(300, 2)));
}

// A step that fails ends the run with its text, and nothing after it is done.
TEST_F(SingleBoard, EveryFailingStepEndsTheRunWithItsText)
{
    image = Image(9 * 256 - 10, 2);
    WriteFile("31400_V2.bin", image);
    SimBootFault silentAddress = Refused(0x31, SimBootStep::Address);
    silentAddress.address = 0x08000300;
    silentAddress.silent = true;
    const std::string failed = "Upload failed! \r\n";
    const struct {
        const char* story;
        std::optional<SimBootFault> fault;  // nothing: the instrument is not in bootloader mode
        std::string tail;                   // the end of the log
        FirmwareStep step;
        ResultCode code;
        int pagesWritten;
    } cases[] = {
        {"instrument not in bootloader mode", std::nullopt,
         " Baudrate detection : error\r\n Rx(3): 000000\r\nSet baudrate error  ...\r\n" + failed +
             "Switch the instrument OFF, then ON again in its bootloader as the target's instructions say (e.g. with "
             "Menu+GO pressed), and start again\r\n",
         FirmwareStep::Sync, ResultCode::NoFrame, 0},
        {"erase code refused", Refused(0x44, SimBootStep::Data),
         " ERASE command      : OK\r\n MASS ERASE code    : error\r\n Rx(3): 1F0000\r\nErase data error  ...\r\n" + failed,
         FirmwareStep::Erase, ResultCode::Nak, 0},
        {"write command of page 2 refused", Refused(0x31, SimBootStep::Command, 2),
         " Page 2/9 ...\r\n Tx: 0x31    Rx(3): 1F0000\r\n\r\nWrite data error...\r\n" + failed, FirmwareStep::Write,
         ResultCode::Nak, 2},
        {"address of page 3 unanswered", silentAddress,
         " Page 3/9 ...\r\n Addr: 08000300\r\n  Rx(3): 000000\r\nWrite data error...\r\n" + failed, FirmwareStep::Write,
         ResultCode::NoFrame, 3},
        {"a NACK on the data block of page 5", SimBootloader::NackWriteData(0x08000500, 1),
         " Page 5/9 ...\r\n data: 1F\r\n Rx(3): 1F0000\r\nWrite data error...\r\n" + failed, FirmwareStep::Write,
         ResultCode::Nak, 5},
        {"go refused", Refused(0x21, SimBootStep::Command),
         " Loaded 9 pages  : OK \r\n Run command        : error !\r\n\r\nRUN error ...\r\n" + failed, FirmwareStep::Go,
         ResultCode::Nak, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        SimBootloader& boot = boards.CpuBoot();
        if (c.fault) {
            boards.StartCpuInBootloader();
            boot.AddFault(*c.fault);
        }
        const int writes = boot.Writes();
        const FirmwareResult result = Run("QMX-ARN", file);
        ASSERT_GE(Log().size(), c.tail.size());
        EXPECT_EQ(Log().substr(Log().size() - c.tail.size()), c.tail);
        EXPECT_EQ(boot.Writes() - writes, c.pagesWritten);
        if (!c.fault) {
            EXPECT_TRUE(NothingErased());
        } else if (c.pagesWritten > 0 && c.pagesWritten < 9) {
            EXPECT_TRUE(boot.FlashErased(c.pagesWritten * 256, (9 - c.pagesWritten) * 256)) << "nothing written from there";
        }
        EXPECT_FALSE(boot.Running()) << "no Go after a failure";
        EXPECT_FALSE(sink.progressShown);
        ExpectEndedWithItsReason(result);
        EXPECT_EQ(result.failedStep, c.step);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.pagesWritten, c.pagesWritten);
        EXPECT_EQ(result.failedPage, c.step == FirmwareStep::Write ? std::optional<int>(c.pagesWritten) : std::nullopt);
        EXPECT_EQ(result.boardsProgrammed, 0);
    }
}

// ------------------------------------------------------------------------------- read-back

// With verify, every page is read back (Read Memory of 256 bytes at its address) once all are
// written, and only then is the board started; without, nothing is read.
TEST_F(SingleBoard, VerifyReadsEveryPageBackBeforeGo)
{
    boards.StartCpuInBootloader();
    verify = true;
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
    EXPECT_EQ(result.failedStep, FirmwareStep::None);
    EXPECT_EQ(result.boardsProgrammed, 1);
    EXPECT_EQ(result.pagesWritten, 3);

    verify = false;
    boards.StartCpuInBootloader();
    const std::size_t writes = port.Writes().size();
    EXPECT_TRUE(Run("QMX-ARN", file).ok());
    EXPECT_EQ(Log(), std::string(kSyncOk) + kEraseOk + " Loaded 3 pages  : OK \r\n" + kRunOk + "Upload completed succefully \r\n");
    EXPECT_EQ(port.Writes().size() - writes, 1 + 2 + 3 * 3 + 2u) << "sync, erase, pages, Go: no Read Memory";
}

// A page that reads back otherwise, or whose Read Memory goes unanswered or refused, stops the run
// before Go at that page; the pages after it are not read.
TEST_F(SingleBoard, AVerifyThatFailsStopsBeforeGoAtItsPage)
{
    image = Image(9 * 256 - 10, 2);
    WriteFile("31400_V2.bin", image);
    verify = true;
    const auto failedAt = [](int page) {
        return " Loaded 9 pages  : OK \r\n Verify      : error at page " + std::to_string(page) +
               "\r\n\r\nVerify data error...\r\nUpload failed! \r\n";
    };
    const struct {
        const char* story;
        std::function<void(SimBootloader&)> fault;
        int page;
        ResultCode code;
        int reads;  // Read Memory commands sent
    } cases[] = {
        {"a flash byte of page 3 changed after programming", [](SimBootloader& b) { b.AddWeakByte(3 * 256 + 17); }, 3,
         ResultCode::ReadBackDiffers, 4},
        {"the last byte of the last page changed", [](SimBootloader& b) { b.AddWeakByte(9 * 256 - 1); }, 8,
         ResultCode::ReadBackDiffers, 9},
        {"Read Memory unanswered", [](SimBootloader& b) { b.AddFault(SimBootloader::SilentRead()); }, 0,
         ResultCode::NoFrame, 1},
        {"the read of page 5 unanswered", [](SimBootloader& b) { b.AddFault(SimBootloader::SilentRead(0x08000500)); }, 5,
         ResultCode::NoFrame, 6},
        {"Read Memory refused", [](SimBootloader& b) { b.AddFault(Refused(0x11, SimBootStep::Command)); }, 0,
         ResultCode::Nak, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        SimBootloader fresh;
        std::swap(boards.CpuBoot(), fresh);
        boards.StartCpuInBootloader();
        c.fault(boards.CpuBoot());
        const std::size_t writesBefore = port.Writes().size();
        const FirmwareResult result = Run("QMX-ARN", file);
        const std::string tail = failedAt(c.page);
        ASSERT_GE(Log().size(), tail.size());
        EXPECT_EQ(Log().substr(Log().size() - tail.size()), tail);
        std::size_t reads = 0;
        for (std::size_t i = writesBefore; i < port.Writes().size(); ++i)
            reads += port.Writes()[i] == Bytes{0x11, 0xEE} ? 1 : 0;
        EXPECT_EQ(reads, static_cast<std::size_t>(c.reads));
        EXPECT_FALSE(boards.CpuBoot().Running()) << "no Go after a failed verify";
        EXPECT_FALSE(sink.progressShown);
        ExpectEndedWithItsReason(result);
        EXPECT_EQ(result.failedStep, FirmwareStep::Verify);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.failedPage, std::optional<int>(c.page));
        EXPECT_EQ(result.pagesWritten, 9);
        EXPECT_EQ(result.boardsProgrammed, 0);
    }
}

// ------------------------------------------------------------------------ images before erase

TEST_F(SingleBoard, ImagesThatCannotLoadAreFoundBeforeAnythingIsSent)
{
    const std::string tooLarge = WriteFile("31400_big.bin", Bytes(2048257, 0x11));
    const std::string empty = WriteFile("31400_empty.bin", {});
    const std::string missing = Path("31400_none.bin");
    const struct {
        std::string path;
        std::string problem;
    } cases[] = {
        {missing, " Image file not found: " + missing},
        {tooLarge, " Image file too large: " + tooLarge + " (2048257 bytes, at most 2048256)"},
        {empty, " Image file empty: " + empty},
    };
    boards.StartCpuInBootloader();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::size_t writes = port.Writes().size();
        const FirmwareResult result = Run("QMX-ARN", c.path);
        EXPECT_EQ(Log(), c.problem + "\r\nError in the <fillArray> function ...\r\nUpload failed! \r\n");
        EXPECT_EQ(port.Writes().size(), writes) << "not even a sync";
        EXPECT_TRUE(NothingErased());
        ExpectEndedWithItsReason(result);
        EXPECT_EQ(result.failedStep, FirmwareStep::ImageRefused);
        EXPECT_EQ(result.code, ResultCode::Refused);
    }
    // The largest image that fits is accepted.
    const std::string largest = WriteFile("31400_max.bin", Bytes(2048256, 0x22));
    boards.SetBootTimes({0.001, 0.001, 0.0});
    const FirmwareResult result = Run("QMX-ARN", largest);
    EXPECT_TRUE(sink.Showed(" Page 4096/8001 ...")) << "1 MiB of flash ends at page 4096";
    EXPECT_EQ(boards.CpuBoot().Writes(), 4096);
    EXPECT_EQ(result.failedStep, FirmwareStep::Write);
    EXPECT_EQ(result.failedPage, 4096);
}

// ------------------------------------------------------------------------------- the port

TEST_F(SingleBoard, APortThatCannotBeOpenedEndsTheRunBeforeAnythingIsSent)
{
    const struct {
        const char* story;
        bool exists;
        bool package;
        Interruption::Kind kind;
        ResultCode code;
        const char* failed;
    } cases[] = {
        {"no such port", false, false, Interruption::Kind::PortMissing, ResultCode::PortMissing, "Upload failed! "},
        {"a port another program holds", true, true, Interruption::Kind::SystemError, ResultCode::Refused, "Upload failed "},
    };
    const std::string package = WriteText("27520_Pack.pkg", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        port.SetExistingPorts(c.exists ? std::set<int>{1} : std::set<int>{});
        port.SetBusy(1, c.exists);
        const FirmwareResult result = c.package ? Run("QSVERIFs-MIN", package) : Run("QMX-ARN", file);
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

// ------------------------------------------------------------------------------- packages

namespace {

struct Package : FirmwareRig {
    Bytes cpu = Image(700, 3);   // 3 pages
    Bytes mis = Image(1400, 4);  // 6 pages
    std::string package;
    void SetUp() override
    {
        WriteFile("27520_CPU_V1.bin", cpu);
        WriteFile("27520_MIS_V1.bin", mis);
        package = WriteText("27520_Pack_V1-01.pkg", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n");
        boards.StartCpuInBootloader();
        boards.SetPowerOnDelay(4.0);
    }
    FirmwareResult RunPackage(bool speed57600 = true) { return Run("QSVERIFs-MIN", package, speed57600); }
    std::string CpuPart() const
    {
        return std::string(kSyncOk) + kEraseOk + " Loaded 3 pages  : OK \r\n" + kRunOk + "TURN ON the instrument \r\n";
    }
};

}  // namespace

TEST_F(Package, BothBoardsProgrammedForEitherLineOrder)
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
}

// With verify the CPU board is read back before Go; the MIS board, written through it, is not. A
// CPU page that reads back otherwise ends the run there, the MIS board untouched.
TEST_F(Package, VerifyReadsTheCpuBoardBackAndNotTheMisBoard)
{
    verify = true;
    const FirmwareResult result = RunPackage();
    EXPECT_EQ(Log(), std::string(kSyncOk) + kEraseOk + " Loaded 3 pages  : OK \r\n Verify      : OK\r\n" + kRunOk +
                         "TURN ON the instrument \r\n\r\n" + kSyncOk + kTunnelEraseOk +
                         "Prog. N.6/6\r\n Reset SW Command: OK \r\n >> Upload Success \r\n ***** TURN OFF the instrument ***** \r\n");
    EXPECT_EQ(ReadMemoryFrames(), "11EE 0800000008 FF00 11EE 0800010009 FF00 11EE 080002000A FF00 ");
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.boardsProgrammed, 2);

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
    EXPECT_EQ(failed.boardsProgrammed, 0);
    EXPECT_EQ(boards.MisBoot().Writes(), misWrites);
    EXPECT_FALSE(boards.CpuBoot().Running());
}

TEST_F(Package, InstrumentNotSwitchedOnWithin15Seconds)
{
    boards.SetPowerOnDelay(-1.0);
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

// The boot command's answer counts from 6 bytes on, its ACK included: the ACK and an empty answer
// frame open the tunnel, one byte less does not.
TEST_F(Package, BootCommandAnswerOfSixBytesOpensTheTunnelAndOfFiveDoesNot)
{
    const struct {
        const char* story;
        Bytes answer;
        bool opens;
    } cases[] = {
        {"5 bytes", {0x06, 0x01, 0x03, 0x00, 0x04}, false},
        {"6 bytes: ACK and an empty frame", simtest::Acked({}), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        instrument.ClearRecord();
        boards.StartCpuInBootloader();
        instrument.AddFault(SimFaultRule::Command(0xD0, SimFault::Scripted).WithBytes(c.answer).Times(1));
        const int misErases = boards.MisBoot().MassErases();
        const FirmwareResult result = RunPackage();
        ASSERT_EQ(Requests(0xD0), 1u);
        if (c.opens) {
            EXPECT_TRUE(result.ok()) << Log();
            EXPECT_EQ(boards.MisBoot().ReadFlash(0, 1536), Padded(mis));
        } else {
            EXPECT_EQ(result.reason, "Error in Command BOOT\r\nUpload mis board failed \r\n");
            ExpectEndedWithItsReason(result);
            EXPECT_EQ(result.failedStep, FirmwareStep::BootCommand);
            EXPECT_EQ(boards.MisBoot().MassErases(), misErases);
            EXPECT_EQ(Requests(0xD1), 0u);
        }
    }
}

TEST_F(Package, MisBoardFailuresEndWithWhatTheExchangeLeft)
{
    const struct {
        const char* story;
        SimBootFault fault;
        std::string tail;
        FirmwareStep step;
        int pagesWritten;
    } cases[] = {
        {"page 2 refused", SimBootloader::NackWriteData(0x08000200, 1),
         std::string(kTunnelEraseOk) + "Prog. N.2/6" + kNackText + "\r\nUpload mis board failed \r\n",
         FirmwareStep::TunnelWrite, 3 + 2},
        {"erase code refused", Refused(0x44, SimBootStep::Data),
         std::string(kSyncOk) + " MASS ERASE cmd     : OK\r\n MASS ERASE code    : \r\n" + kNackText +
             "\r\nUpload mis board failed \r\n",
         FirmwareStep::TunnelErase, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        instrument.ClearRecord();
        boards.StartCpuInBootloader();
        boards.MisBoot().AddFault(c.fault);
        const FirmwareResult result = RunPackage();
        ASSERT_GE(Log().size(), c.tail.size());
        EXPECT_EQ(Log().substr(Log().size() - c.tail.size()), c.tail);
        EXPECT_EQ(Requests(0xD3), 0u) << "no reset after a failure";
        ExpectEndedWithItsReason(result);
        EXPECT_EQ(result.failedStep, c.step);
        EXPECT_EQ(result.code, ResultCode::Nak);
        EXPECT_EQ(result.boardsProgrammed, 1);
        EXPECT_EQ(result.pagesWritten, c.pagesWritten);
    }
}

TEST_F(Package, MalformedPackagesAndMissingImagesStopBeforeAnyErase)
{
    const std::string cpuPath = Path("27520_CPU_V1.bin");
    const std::string misPath = Path("27520_MIS_V1.bin");
    const struct {
        const char* name;
        const char* content;
        std::function<void()> prepare;
        std::string log;
        FirmwareStep step;
    } cases[] = {
        {"one line", "27520_CPU_V1.bin\r\n", [] {},
         " Package file error: fewer than two lines in " + package + "\r\nUpload failed \r\n", FirmwareStep::PackageRefused},
        {"no _CPU line", "27520_MIS_V1.bin\r\nreadme.txt\r\n", [] {},
         " Package file error: no _CPU image named in " + package + "\r\nUpload failed \r\n", FirmwareStep::PackageRefused},
        {"no _MIS line", "27520_CPU_V1.bin\r\nreadme.txt\r\n", [] {},
         " Package file error: no _MIS image named in " + package + "\r\nUpload failed \r\n", FirmwareStep::PackageRefused},
        {"CPU image missing", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n", [&] { std::remove(cpuPath.c_str()); },
         " Image file not found: " + cpuPath + "\r\nError in the function <fillArray>\r\nUpload failed \r\n",
         FirmwareStep::ImageRefused},
        {"MIS image missing", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n",
         [&] {
             WriteFile("27520_CPU_V1.bin", cpu);
             std::remove(misPath.c_str());
         },
         " Image file not found: " + misPath + "\r\nError in the function <fillArray>\r\nUpload failed \r\n",
         FirmwareStep::ImageRefused},
        {"MIS image too large", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n",
         [&] { WriteFile("27520_MIS_V1.bin", Bytes(2048257, 0)); },
         " Image file too large: " + misPath + " (2048257 bytes, at most 2048256)\r\nError in the function <fillArray>\r\n"
         "Upload failed \r\n",
         FirmwareStep::ImageRefused},
        {"MIS image empty", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n", [&] { WriteFile("27520_MIS_V1.bin", {}); },
         " Image file empty: " + misPath + "\r\nError in the function <fillArray>\r\nUpload failed \r\n",
         FirmwareStep::ImageRefused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText("27520_Pack_V1-01.pkg", c.content);
        c.prepare();
        const std::size_t writes = port.Writes().size();
        const FirmwareResult result = RunPackage();
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(port.Writes().size(), writes) << "nothing sent to either board";
        EXPECT_TRUE(NothingErased());
        ExpectEndedWithItsReason(result);
        EXPECT_EQ(result.failedStep, c.step);
        EXPECT_EQ(result.code, ResultCode::Refused);
    }
}

// Packages written on Windows: lines with back slashes, names whose letter case differs from the
// files (the Windows file system does not mind), names in Windows' own code page. The one file a line names, case aside, is
// programmed; a line that could name two files is refused before anything is erased.
TEST_F(Package, LinesWrittenTheWindowsWayNameTheirFilesLetterCaseAside)
{
    std::filesystem::create_directory(FsPath(Path("bin")));
    WriteFile("bin/27520_CPU_V2.bin", Image(600, 5));
    WriteFile("bin/27520_MIS_V2.bin", Image(900, 6));
    WriteFile("bin/Citt\xC3\xA0_CPU.bin", Image(200, 8));
    WriteFile("bin/Citt\xC3\xA0_MIS.bin", Image(300, 9));
    const struct {
        const char* story;
        const char* content;
        Bytes cpuImage;
        Bytes misImage;
    } cases[] = {
        {"back slashes", "bin\\27520_CPU_V2.bin\r\nbin\\27520_MIS_V2.bin\r\n", Image(600, 5), Image(900, 6)},
        {"names in other letter case", "27520_cpu_v1.BIN\r\n27520_Mis_V1.bin\r\n", cpu, mis},
        {"the folder in other letter case", "BIN\\27520_CPU_V2.BIN\r\n.\\Bin\\27520_mis_v2.bin\r\n", Image(600, 5),
         Image(900, 6)},
        // Notepad's ANSI code page: one byte a letter.
        {"names in Windows' code page", "bin\\Citt\xE0_CPU.bin\r\nbin\\Citt\xE0_MIS.bin\r\n", Image(200, 8), Image(300, 9)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        WriteText("27520_Pack_V1-01.pkg", c.content);
        boards.StartCpuInBootloader();
        const FirmwareResult result = RunPackage();
        EXPECT_TRUE(result.ok()) << Log();
        EXPECT_EQ(boards.CpuBoot().ReadFlash(0, Padded(c.cpuImage).size()), Padded(c.cpuImage));
        EXPECT_EQ(boards.MisBoot().ReadFlash(0, Padded(c.misImage).size()), Padded(c.misImage));
    }

    if (kThisOs == OsFamily::Windows)
        return;  // one folder cannot hold two names that differ only in case
    WriteFile("27520_cpu_V1.bin", Image(300, 7));
    const std::size_t writes = port.Writes().size();
    WriteText("27520_Pack_V1-01.pkg", "27520_Cpu_V1.bin\r\n27520_MIS_V1.bin\r\n");
    const FirmwareResult refused = RunPackage();
    EXPECT_EQ(Log(), " Package file error: 27520_Cpu_V1.bin matches 27520_CPU_V1.bin and 27520_cpu_V1.bin "
                     "(letter case aside) in " + package + "\r\nUpload failed \r\n");
    EXPECT_EQ(port.Writes().size(), writes) << "nothing sent to either board";
    EXPECT_EQ(refused.failedStep, FirmwareStep::PackageRefused);
    ExpectEndedWithItsReason(refused);

    // A name written exactly is the file of that name.
    WriteText("27520_Pack_V1-01.pkg", "27520_cpu_V1.bin\r\n27520_MIS_V1.bin\r\n");
    boards.StartCpuInBootloader();
    EXPECT_TRUE(RunPackage().ok()) << Log();
    EXPECT_EQ(boards.CpuBoot().ReadFlash(0, 512), Padded(Image(300, 7)));
}

// A bootloader that does not answer its sync is left as it is until the instrument is switched off:
// the log ends with what to do, after the failure texts. The MIS board is reached only through a
// CPU board started afresh, so there the whole package runs again.
TEST_F(Package, AFailedSyncEndsWithHowToStartTheBootloaderAgain)
{
    const std::string restart = "Switch the instrument OFF, then ON again in its bootloader as the target's "
                                "instructions say (e.g. with Menu+GO pressed), and start again\r\n";
    const std::string rerun = "Switch the instrument OFF and run the whole package again, starting the CPU board in "
                              "its bootloader (Menu+GO pressed)\r\n";
    const std::string image = WriteFile("31400_V2.bin", Image(700, 5));
    const struct {
        const char* story;
        bool package;
        std::function<void()> prepare;
        std::string log;
        FirmwareStep step;
    } cases[] = {
        {"one board whose bootloader a failed run had synchronised", false,
         [this] { boards.CpuBoot().Receive({boot::kSync}); },
         " Baudrate detection : error\r\n Rx(3): 1F0000\r\nSet baudrate error  ...\r\nUpload failed! \r\n" + restart,
         FirmwareStep::Sync},
        {"the CPU board of a package, its bootloader already synchronised", true,
         [this] { boards.CpuBoot().Receive({boot::kSync}); },
         std::string(" Baudrate detection : error\r\n Rx(3): 1F0000") + kNackText + "\r\nUpload failed \r\n" + restart,
         FirmwareStep::Sync},
        {"the MIS board silent behind the CPU board", true,
         [this] { instrument.AddFault(SimFaultRule::Command(boot::kPassCommand, SimFault::Silence).Times(1)); },
         CpuPart() + "\r\n Baudrate detection : \r\n\r\nUpload mis board failed \r\n" + rerun, FirmwareStep::TunnelSync},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        boards.StartCpuInBootloader();
        c.prepare();
        const FirmwareResult result = c.package ? RunPackage() : Run("QMX-ARN", image);
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(boards.MisBoot().MassErases(), 0);
        ExpectEndedWithItsReason(result);
        EXPECT_EQ(result.failedStep, c.step);
    }
}

// ------------------------------------------------------------------------- file and target

// The chosen file is checked against the target before the port is opened: only a name the
// target's file dialog offers, whatever folder it is in.
TEST_F(Package, OnlyAFileThatFitsTheTargetIsProgrammed)
{
    const std::string bin31400 = WriteFile("31400_V2.bin", Image(700, 5));
    const std::string bin31420 = WriteFile("31420_V2.bin", Image(700, 6));
    std::filesystem::create_directory(FsPath(Path("31400_set")));
    const std::string inFolder = WriteFile("31400_set/VERTA_V2.bin", Image(700, 7));
    const struct {
        const char* target;
        std::string file;
        std::string line;
    } cases[] = {
        {"QMX-ARN", package, " Upload not started: QMX-ARN takes a file *31400_*.bin, not 27520_Pack_V1-01.pkg"},
        {"QSVERIFs-MAX", package, " Upload not started: QSVERIFs-MAX takes a file *.bin, not 27520_Pack_V1-01.pkg"},
        {"QSLUM", bin31400, " Upload not started: QSLUM takes a file *31420_*.bin, not 31400_V2.bin"},
        {"QSVERIFs-MIN", bin31420, " Upload not started: QSVERIFs-MIN takes a file *.pkg, not 31420_V2.bin"},
        {"QMX-ARN", inFolder, " Upload not started: QMX-ARN takes a file *31400_*.bin, not VERTA_V2.bin"},
        {"QMX-ARN-X", bin31400, " Upload not started: no firmware target named QMX-ARN-X"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " " + c.file);
        const FirmwareResult result = Run(c.target, c.file);
        EXPECT_EQ(Log(), c.line + "\r\n");
        EXPECT_TRUE(port.Writes().empty()) << "nothing sent";
        EXPECT_EQ(port.Opens(), 0) << "the port not even opened";
        EXPECT_TRUE(NothingErased());
        ExpectEndedWithItsReason(result);
        EXPECT_EQ(result.failedStep, FirmwareStep::FileNotForTarget);
        EXPECT_EQ(result.code, ResultCode::Refused);
    }
    // Letter case aside, as the dialog offers it.
    EXPECT_TRUE(Run("QMX-ARN", WriteFile("31400_v3.BIN", Image(300, 8))).ok()) << Log();
}

// Images and packages kept in a folder named in the technician's language are programmed as from
// any other.
TEST_F(Package, ImagesAndPackagesInAFolderNamedWithAccentedLetters)
{
    const std::string folder = "Versioni pi\xC3\xB9 recenti";
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(Path(folder))));
    const Bytes one = Image(500, 9);
    const FirmwareResult single = Run("QSVERIFs-MAX", WriteFile(folder + "/27510_V3.bin", one));
    EXPECT_TRUE(single.ok()) << Log();
    EXPECT_EQ(boards.CpuBoot().ReadFlash(0, 512), Padded(one));

    WriteFile(folder + "/27520_CPU_V1.bin", cpu);
    WriteFile(folder + "/27520_MIS_V1.bin", mis);
    const std::string inFolder = WriteText(folder + "/27520_Pack_V1-01.pkg", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n");
    boards.StartCpuInBootloader();
    const FirmwareResult both = Run("QSVERIFs-MIN", inFolder);
    EXPECT_TRUE(both.ok()) << Log();
    EXPECT_EQ(both.boardsProgrammed, 2);
    EXPECT_EQ(boards.CpuBoot().ReadFlash(0, 768), Padded(cpu));
    EXPECT_EQ(boards.MisBoot().ReadFlash(0, 1536), Padded(mis));
}

// ------------------------------------------------------------------------ the program ends

// Once the program is ending nothing more goes out on the line, wherever the run was: the board
// is left as it stands, not erased, switched to another speed or synchronised half-way, and the
// run says it was stopped.
TEST_F(Package, AProgramEndingSendsNothingMore)
{
    const std::string image = WriteFile("31400_V2.bin", Image(40 * 256, 5));
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
        const FirmwareResult result = c.package ? RunPackage() : Run("QMX-ARN", image);
        ASSERT_TRUE(writesAtEnd) << Log();
        EXPECT_EQ(port.Writes().size(), *writesAtEnd) << "sent after the end: " << BytesToHex(port.Writes().back());
        EXPECT_LT(host.Now() - start, 12.0) << "ended at once, not after the wait it was in";
        EXPECT_EQ(Log().find("Exit due to Timeout"), std::string::npos);
        EXPECT_EQ(Log().find("Upload completed"), std::string::npos);
        EXPECT_EQ(Log().find("Upload Success"), std::string::npos);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(result.failedStep, FirmwareStep::Stopped);
        EXPECT_EQ(result.interruption.kind, Interruption::Kind::Stopped);
        EXPECT_FALSE(result.ok());
    }
}
