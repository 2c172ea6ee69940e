// The Upload tab from Start to the last log line against the simulated boards in virtual time:
// one board straight through its bootloader, and two-board packages through the running CPU board.
#include <QDir>
#include <QLabel>
#include <QProgressBar>

#include "UploadRig.h"
#include "app/UploadActions.h"
#include "firmware/BootClient.h"
#include "support/SimTestHelpers.h"

namespace {

constexpr const char* kSyncOk = " Baudrate detection : OK\r\n";
constexpr const char* kEraseOk = " ERASE command      : OK\r\n MASS ERASE code    : OK\r\n";
constexpr const char* kRunOk = " Run command        : OK\r\n";
constexpr const char* kTunnelEraseOk = " MASS ERASE cmd     : OK\r\n MASS ERASE code    : OK\r\n";

struct SingleBoard : UploadFlow {
    Bytes image = Image(700, 1);  // 3 pages
    std::string file;
    void SetUp() override
    {
        UploadFlow::SetUp();
        Target("QMX-ARN");
        file = WriteFile("31400_V2.bin", image);
    }
};

}  // namespace

TEST_F(SingleBoard, ProgramsTheBoardWithTheExactLog)
{
    rig.boards.StartCpuInBootloader();
    Browse(file);
    Start();
    EXPECT_EQ(Log(), std::string(kSyncOk) + kEraseOk + " Loaded 3 pages  : OK \r\n" + kRunOk +
                         "Upload completed succefully \r\n");
    EXPECT_TRUE(LogShowed(std::string(kSyncOk) + kEraseOk + " Page 0/3 ..."));
    EXPECT_TRUE(LogShowed(std::string(kSyncOk) + kEraseOk + " Page 2/3 ..."));
    EXPECT_EQ(rig.boards.CpuBoot().ReadFlash(0, 768), Padded(image));
    EXPECT_TRUE(rig.boards.CpuBoot().FlashErased(768, 256));
    EXPECT_TRUE(rig.boards.CpuBoot().Running());
    EXPECT_EQ(rig.port.LineSettings(), "57600,E,8,1");
    EXPECT_EQ(rig.link.BaudText, "57600") << "the single-board flow keeps the speed";
    EXPECT_EQ(rig.Control<QLabel>("lblPercUpload").text().toStdString(), "75%");
    EXPECT_EQ(rig.Control<QProgressBar>("PrgBar1").value(), 75);
    ExpectControlsOffWhileRunningThenBack();

    // At 115200 the direct route runs at that speed.
    rig.form->mnu115200->trigger();
    rig.boards.StartCpuInBootloader();
    Start();
    EXPECT_NE(Log().find("Upload completed succefully "), std::string::npos) << Log();
    EXPECT_EQ(rig.port.LineSettings(), "115200,E,8,1");
}

// A step that fails ends the run with its text, and nothing after it is done.
TEST_F(SingleBoard, EveryFailingStepEndsTheRunWithItsText)
{
    image = Image(9 * 256 - 10, 2);
    WriteFile("31400_V2.bin", image);
    const auto refused = [](std::uint8_t command, SimBootStep step, int after = 0) {
        return SimBootFault{false, command, step, std::nullopt, after, 1, 0, 0};
    };
    SimBootFault silentAddress = refused(0x31, SimBootStep::Address);
    silentAddress.address = 0x08000300;
    silentAddress.silent = true;
    const std::string failed = "Upload failed! \r\n";
    const struct {
        const char* story;
        std::optional<SimBootFault> fault;  // nothing: the instrument is not in bootloader mode
        std::string tail;                   // the end of the log
        int pagesWritten;
    } cases[] = {
        {"instrument not in bootloader mode", std::nullopt,
         " Baudrate detection : error\r\n Rx(3): 000000\r\nSet baudrate error  ...\r\n" + failed +
             "Switch the instrument OFF, then ON again in its bootloader as the target's instructions say (e.g. with "
             "Menu+GO pressed), and start again\r\n", 0},
        {"erase code refused", refused(0x44, SimBootStep::Data),
         " ERASE command      : OK\r\n MASS ERASE code    : error\r\n Rx(3): 1F0000\r\nErase data error  ...\r\n" + failed, 0},
        {"write command of page 2 refused", refused(0x31, SimBootStep::Command, 2),
         " Page 2/9 ...\r\n Tx: 0x31    Rx(3): 1F0000\r\n\r\nWrite data error...\r\n" + failed, 2},
        {"address of page 3 unanswered", silentAddress,
         " Page 3/9 ...\r\n Addr: 08000300\r\n  Rx(3): 000000\r\nWrite data error...\r\n" + failed, 3},
        {"a NACK on the data block of page 5", SimBootloader::NackWriteData(0x08000500, 1),
         " Page 5/9 ...\r\n data: 1F\r\n Rx(3): 1F0000\r\nWrite data error...\r\n" + failed, 5},
        {"go refused", refused(0x21, SimBootStep::Command),
         " Loaded 9 pages  : OK \r\n Run command        : error !\r\n\r\nRUN error ...\r\n" + failed, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        SimBootloader& boot = rig.boards.CpuBoot();
        if (c.fault) {
            rig.boards.StartCpuInBootloader();
            boot.AddFault(*c.fault);
        }
        const int writes = boot.Writes();
        Browse(file);
        Start();
        ASSERT_GE(Log().size(), c.tail.size());
        EXPECT_EQ(Log().substr(Log().size() - c.tail.size()), c.tail);
        EXPECT_EQ(boot.Writes() - writes, c.pagesWritten);
        if (!c.fault) {
            EXPECT_TRUE(NothingErased());
        } else if (c.pagesWritten > 0 && c.pagesWritten < 9) {
            EXPECT_TRUE(boot.FlashErased(c.pagesWritten * 256, (9 - c.pagesWritten) * 256)) << "nothing written from there";
        }
        EXPECT_FALSE(boot.Running()) << "no Go after a failure";
        ExpectControlsOffWhileRunningThenBack();
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
    rig.boards.StartCpuInBootloader();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::size_t writes = rig.port.Writes().size();
        Browse(c.path);
        Start();
        EXPECT_EQ(Log(), c.problem + "\r\nError in the <fillArray> function ...\r\nUpload failed! \r\n");
        EXPECT_EQ(rig.port.Writes().size(), writes) << "not even a sync";
        EXPECT_TRUE(NothingErased());
        ExpectControlsOffWhileRunningThenBack();
    }
    // The largest image that fits is accepted.
    const std::string largest = WriteFile("31400_max.bin", Bytes(2048256, 0x22));
    rig.boards.SetBootTimes({0.001, 0.001, 0.0});
    Browse(largest);
    Start();
    EXPECT_NE(Log().find(" Page 4096/8001 ..."), std::string::npos) << "1 MiB of flash ends at page 4096";
    EXPECT_EQ(rig.boards.CpuBoot().Writes(), 4096);
}

// ------------------------------------------------------------------------------- packages

namespace {

struct Package : UploadFlow {
    Bytes cpu = Image(700, 3);    // 3 pages
    Bytes mis = Image(1400, 4);   // 6 pages
    std::string package;
    void SetUp() override
    {
        UploadFlow::SetUp();
        Target("QSVERIFs-MIN");
        WriteFile("27520_CPU_V1.bin", cpu);
        WriteFile("27520_MIS_V1.bin", mis);
        package = WriteText("27520_Pack_V1-01.pkg", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n");
        rig.boards.StartCpuInBootloader();
        rig.boards.SetPowerOnDelay(4.0);
    }
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
        Browse(package);
        rig.boards.StartCpuInBootloader();
        const double start = rig.host.Now();
        Start();
        EXPECT_EQ(Log(), CpuPart() + "\r\n" + kSyncOk + kTunnelEraseOk + "Prog. N.6/6\r\n Reset SW Command: OK \r\n" +
                             " >> Upload Success \r\n ***** TURN OFF the instrument ***** \r\n");
        EXPECT_EQ(rig.boards.CpuBoot().ReadFlash(0, 768), Padded(cpu)) << "the CPU image went to the CPU board";
        EXPECT_EQ(rig.boards.MisBoot().ReadFlash(0, 1536), Padded(mis));
        EXPECT_TRUE(LogShowed(CpuPart() + "timeOut = 3"));
        EXPECT_TRUE(LogShowed(CpuPart() + "\r\n" + kSyncOk + kTunnelEraseOk + "Prog. N.1/6"));
        EXPECT_EQ(rig.boards.MisResets(), content[6] == 'C' ? 1 : 2);
        EXPECT_GT(rig.host.Now() - start, 4.0) << "waited for the instrument";
        ExpectControlsOffWhileRunningThenBack();
    }
}

TEST_F(Package, TheLinkFollowsTheChosenSpeed)
{
    // 57600 ticked (the Upload tab's default): 0xD4 0x00, then the port at 57600.
    Browse(package);
    Start();
    EXPECT_NE(Log().find(" >> Upload Success "), std::string::npos) << Log();
    EXPECT_EQ(Requests(0xD4), 1u);
    EXPECT_EQ(BytesToHex(rig.instrument.Requests().at(2)), "D400");
    EXPECT_EQ(rig.boards.LinkBaud(), 57600);
    EXPECT_EQ(rig.port.LineSettings(), "57600,N,8,1");
    EXPECT_EQ(rig.link.BaudText, "57600");
    EXPECT_EQ(rig.boards.LineErrors(), 0u);
    EXPECT_EQ(rig.form->StatusBar1Panel2->text().toStdString(), "Baud: 57600");

    // 115200: no switch.
    rig.instrument.ClearRecord();
    rig.form->mnu115200->trigger();
    rig.boards.StartCpuInBootloader();
    Start();
    EXPECT_NE(Log().find(" >> Upload Success "), std::string::npos) << Log();
    EXPECT_EQ(Requests(0xD4), 0u);
    EXPECT_EQ(rig.port.LineSettings(), "115200,N,8,1");
    EXPECT_EQ(rig.link.BaudText, "115200");
}

TEST_F(Package, InstrumentNotSwitchedOnWithin15Seconds)
{
    rig.boards.SetPowerOnDelay(-1.0);
    Browse(package);
    double start = 0.0;
    rig.When([&] { return Log().find("TURN ON") != std::string::npos; }, [&] { start = rig.host.Now(); });
    Start();
    EXPECT_EQ(Log(), CpuPart() + "\r\nExit due to Timeout \r\n");
    EXPECT_TRUE(LogShowed(CpuPart() + "timeOut = 14"));
    EXPECT_FALSE(LogShowed(CpuPart() + "timeOut = 15"));
    EXPECT_EQ(rig.boards.MisBoot().MassErases(), 0);
    EXPECT_EQ(Requests(0xD0), 0u);
    const double waited = rig.host.Now() - start;
    EXPECT_GT(waited, 15.0);
    // The attempt under way at 15 s is finished: the quiet line after the attempt before it, its
    // 0.4 s acknowledge wait and the 0.1 s pause.
    EXPECT_LT(waited, 15.0 + kLateAnswerQuietS + 0.4 + 0.1 + 0.05);
    ExpectControlsOffWhileRunningThenBack();
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
        rig.instrument.ClearRecord();
        rig.boards.StartCpuInBootloader();
        rig.instrument.AddFault(SimFaultRule::Command(0xD0, SimFault::Scripted).WithBytes(c.answer).Times(1));
        const int misErases = rig.boards.MisBoot().MassErases();
        Browse(package);
        Start();
        ASSERT_EQ(Requests(0xD0), 1u);
        if (c.opens) {
            EXPECT_NE(Log().find(" >> Upload Success "), std::string::npos) << Log();
            EXPECT_EQ(rig.boards.MisBoot().ReadFlash(0, 1536), Padded(mis));
        } else {
            const std::string tail = "\r\nError in Command BOOT\r\nUpload mis board failed \r\n";
            ASSERT_GE(Log().size(), tail.size());
            EXPECT_EQ(Log().substr(Log().size() - tail.size()), tail);
            EXPECT_EQ(rig.boards.MisBoot().MassErases(), misErases);
            EXPECT_EQ(Requests(0xD1), 0u);
        }
        ExpectControlsOffWhileRunningThenBack();
    }
}

TEST_F(Package, MisBoardRefusingAPageFailsItsRun)
{
    rig.boards.MisBoot().AddFault(SimBootloader::NackWriteData(0x08000200));
    Browse(package);
    Start();
    EXPECT_EQ(Log(), CpuPart() + "\r\n" + kSyncOk + kTunnelEraseOk + "Prog. N.2/6" + kNackText + "\r\nUpload mis board failed \r\n");
    EXPECT_EQ(Requests(0xD3), 0u) << "no reset after a failed write";
    EXPECT_EQ(State(), kIdle);
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
    } cases[] = {
        {"one line", "27520_CPU_V1.bin\r\n", [] {},
         " Package file error: fewer than two lines in " + package + "\r\nUpload failed \r\n"},
        {"no _CPU line", "27520_MIS_V1.bin\r\nreadme.txt\r\n", [] {},
         " Package file error: no _CPU image named in " + package + "\r\nUpload failed \r\n"},
        {"no _MIS line", "27520_CPU_V1.bin\r\nreadme.txt\r\n", [] {},
         " Package file error: no _MIS image named in " + package + "\r\nUpload failed \r\n"},
        {"CPU image missing", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n", [&] { std::remove(cpuPath.c_str()); },
         " Image file not found: " + cpuPath + "\r\nError in the function <fillArray>\r\nUpload failed \r\n"},
        {"MIS image missing", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n",
         [&] {
             WriteFile("27520_CPU_V1.bin", cpu);
             std::remove(misPath.c_str());
         },
         " Image file not found: " + misPath + "\r\nError in the function <fillArray>\r\nUpload failed \r\n"},
        {"MIS image too large", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n",
         [&] { WriteFile("27520_MIS_V1.bin", Bytes(2048257, 0)); },
         " Image file too large: " + misPath + " (2048257 bytes, at most 2048256)\r\nError in the function <fillArray>\r\n"
         "Upload failed \r\n"},
        {"MIS image empty", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n", [&] { WriteFile("27520_MIS_V1.bin", {}); },
         " Image file empty: " + misPath + "\r\nError in the function <fillArray>\r\nUpload failed \r\n"},
    };
    Browse(package);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText("27520_Pack_V1-01.pkg", c.content);
        c.prepare();
        const std::size_t writes = rig.port.Writes().size();
        Start();
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(rig.port.Writes().size(), writes) << "nothing sent to either board";
        EXPECT_TRUE(NothingErased());
        ExpectControlsOffWhileRunningThenBack();
    }
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
    } cases[] = {
        {"one board whose bootloader a failed run had synchronised", false,
         [this] { rig.boards.CpuBoot().Receive({boot::kSync}); },
         " Baudrate detection : error\r\n Rx(3): 1F0000\r\nSet baudrate error  ...\r\nUpload failed! \r\n" + restart},
        {"the CPU board of a package, its bootloader already synchronised", true,
         [this] { rig.boards.CpuBoot().Receive({boot::kSync}); },
         std::string(" Baudrate detection : error\r\n Rx(3): 1F0000") + kNackText + "\r\nUpload failed \r\n" + restart},
        {"the MIS board silent behind the CPU board", true,
         [this] { rig.instrument.AddFault(SimFaultRule::Command(boot::kPassCommand, SimFault::Silence).Times(1)); },
         CpuPart() + "\r\n Baudrate detection : \r\n\r\nUpload mis board failed \r\n" + rerun},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        rig.boards.StartCpuInBootloader();
        c.prepare();
        Target(c.package ? "QSVERIFs-MIN" : "QMX-ARN");
        Browse(c.package ? package : image);
        Start();
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(rig.boards.MisBoot().MassErases(), 0);
        EXPECT_EQ(State(), kIdle);
    }
}

// ------------------------------------------------------------------------- file and target

// Start checks the chosen file against the selected target before anything goes out: a target
// change after the choice, the package a package run leaves chosen, a name typed in the dialog.
TEST_F(Package, StartProgramsOnlyAFileThatFitsTheSelectedTarget)
{
    Browse(package);
    Start();
    ASSERT_NE(Log().find(" >> Upload Success "), std::string::npos) << Log();
    const std::string bin31400 = WriteFile("31400_V2.bin", Image(700, 5));
    const std::string bin31420 = WriteFile("31420_V2.bin", Image(700, 6));
    ASSERT_TRUE(QDir(images.path()).mkdir("31400_set"));
    const std::string inFolder = WriteFile("31400_set/VERTA_V2.bin", Image(700, 7));
    const struct {
        const char* story;
        const char* browseTarget;  // nullptr: the choice the package run left
        std::optional<std::string> file;
        const char* startTarget;
        std::string line;
    } cases[] = {
        {"the package the run left, then a 31400 target", nullptr, std::nullopt, "QMX-ARN",
         " Upload not started: QMX-ARN takes a file *31400_*.bin, not 27520_Pack_V1-01.pkg"},
        {"the package the run left, then the target that takes any .bin", nullptr, std::nullopt, "QSVERIFs-MAX",
         " Upload not started: QSVERIFs-MAX takes a file *.bin, not 27520_Pack_V1-01.pkg"},
        {"a package chosen, then a 31400 target", "QSVERIFs-MIN", package, "VERTA708",
         " Upload not started: VERTA708 takes a file *31400_*.bin, not 27520_Pack_V1-01.pkg"},
        {"a 31400 image, then a 31420 target", "QMX-ARN", bin31400, "QSLUM",
         " Upload not started: QSLUM takes a file *31420_*.bin, not 31400_V2.bin"},
        {"a 31420 image, then the package target", "QSLUM", bin31420, "QSVERIFs-MIN",
         " Upload not started: QSVERIFs-MIN takes a file *.pkg, not 31420_V2.bin"},
        {"only the name counts, not its folder", "QMX-ARN", inFolder, "QMX-ARN",
         " Upload not started: QMX-ARN takes a file *31400_*.bin, not VERTA_V2.bin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        rig.boards.StartCpuInBootloader();
        const int cpuErases = rig.boards.CpuBoot().MassErases();
        const int cpuWrites = rig.boards.CpuBoot().Writes();
        if (c.browseTarget) {
            Target(c.browseTarget);
            Browse(c.file);
        }
        Target(c.startTarget);
        const std::size_t writes = rig.port.Writes().size();
        Start();
        EXPECT_EQ(Log(), c.line + "\r\n");
        EXPECT_EQ(rig.port.Writes().size(), writes) << "nothing sent";
        EXPECT_EQ(rig.boards.CpuBoot().MassErases(), cpuErases);
        EXPECT_EQ(rig.boards.CpuBoot().Writes(), cpuWrites);
        EXPECT_FALSE(rig.boards.CpuBoot().Running()) << "no Go";
        EXPECT_EQ(State(), kIdle);
    }
}

// --------------------------------------------------------------------------- closed window

TEST_F(SingleBoard, ClosingTheWindowWhilePagesAreWrittenEndsTheRun)
{
    image = Image(40 * 256, 5);
    WriteFile("31400_V2.bin", image);
    rig.boards.StartCpuInBootloader();
    rig.port.SetPacing(true);
    Browse(file);
    rig.When([&] { return Log().find(" Page 10/40") != std::string::npos; }, [&] { rig.form->close(); });
    Start();
    EXPECT_TRUE(rig.host.Quitting());
    EXPECT_LT(rig.boards.CpuBoot().Writes(), 12);
    EXPECT_EQ(Log().find("Upload completed"), std::string::npos);
    EXPECT_FALSE(rig.boards.CpuBoot().Running());
    EXPECT_EQ(State(), kIdle);
}

TEST_F(Package, ClosingTheWindowDuringTheWaitForTheInstrumentEndsAtOnce)
{
    rig.boards.SetPowerOnDelay(-1.0);
    Browse(package);
    rig.When([&] { return Log().find("timeOut = 3") != std::string::npos; }, [&] { rig.form->close(); });
    const double start = rig.host.Now();
    Start();
    EXPECT_TRUE(rig.host.Quitting());
    EXPECT_LT(rig.host.Now() - start, 12.0) << "no waiting out the 15 s";
    EXPECT_EQ(Log().find("Exit due to Timeout"), std::string::npos);
    EXPECT_EQ(Requests(0xD0), 0u);
    EXPECT_EQ(rig.boards.MisBoot().MassErases(), 0);
    EXPECT_EQ(State(), kIdle);
}

// Once the window is closed nothing more goes out on the line, wherever the run was: the board
// is left as it stands, not erased, switched to another speed or synchronised half-way.
TEST_F(Package, ClosingTheWindowSendsNothingMore)
{
    const std::string image = WriteFile("31400_V2.bin", Image(40 * 256, 5));
    const auto logHas = [this](const char* text) { return [this, text] { return Log().find(text) != std::string::npos; }; };
    const struct {
        const char* story;
        bool package;
        std::function<bool()> moment;
        double after;  // seconds from the moment to the close
    } cases[] = {
        {"in the pause after the CPU board's sync", false, logHas(" Baudrate detection : OK"), 0.1},
        {"between two attempts to reach the switched-on instrument", true, logHas("timeOut = 3"), 0.0},
        {"0.15 s after the boot command", true, [this] { return Requests(0xD0) > 0; }, 0.15},
        {"while MIS pages are written", true, logHas("Prog. N.2/6"), 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        rig.host.SetQuitting(false);  // the window of the row before back on screen
        rig.form->show();
        rig.instrument.ClearRecord();
        rig.boards.StartCpuInBootloader();
        Target(c.package ? "QSVERIFs-MIN" : "QMX-ARN");
        Browse(c.package ? package : image);
        std::optional<std::size_t> writesAtClose;
        rig.When(c.moment, [&] {
            rig.host.CallAfter(c.after, [&] {
                writesAtClose = rig.port.Writes().size();
                rig.form->close();
            });
        });
        Start();
        ASSERT_TRUE(writesAtClose) << Log();
        EXPECT_TRUE(rig.host.Quitting());
        EXPECT_EQ(rig.port.Writes().size(), *writesAtClose) << "sent after the close: "
                                                            << BytesToHex(rig.port.Writes().back());
        EXPECT_EQ(State(), kIdle);
    }
}

// ------------------------------------------------------------------------------ file choice

TEST_F(SingleBoard, BrowseShowsThePathWithin40CharactersAndEnablesStart)
{
    auto& start = Button("CmdStartProg");
    auto& label = rig.Control<QLabel>("lblNomeFile");
    EXPECT_FALSE(start.isEnabled());
    rig.form->Upload->SetStatusText("instructions");
    Browse(std::nullopt);
    EXPECT_EQ(Log(), "") << "the log is emptied even when cancelled";
    EXPECT_FALSE(start.isEnabled());
    ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(rig.dialogs.fileRequests[0].folder, rig.folder.path().toStdString());
    EXPECT_EQ(rig.dialogs.fileRequests[0].filter, "File bin (31400_*.bin)|*31400_*.bin");

    const std::string forty = "/a/" + std::string(33, 'b') + ".bin";  // 40 characters
    const std::string fortyOne = "/ab/" + std::string(33, 'b') + ".bin";
    ASSERT_EQ(forty.size(), 40u);
    Browse(forty);
    EXPECT_EQ(label.text().toStdString(), forty);
    EXPECT_TRUE(start.isEnabled());
    Browse(fortyOne);
    EXPECT_EQ(label.text().toStdString(), "..." + fortyOne.substr(1));
    EXPECT_EQ(rig.form->uploadActions->Choice().ChosenFolder, "/ab/");
    EXPECT_EQ(rig.form->uploadActions->Choice().ChosenTitle, std::string(33, 'b') + ".bin");
    EXPECT_EQ(rig.form->Upload->DialogFileName(), fortyOne);

    // Accents count as one character each.
    const std::string accented = "/" + std::string(34, 'c') + "\xC3\xA0.bin";  // 40 characters
    Browse(accented);
    EXPECT_EQ(label.text().toStdString(), accented);

    // Cancelling keeps the previous choice.
    Browse(std::nullopt);
    EXPECT_EQ(rig.form->uploadActions->Choice().FirmwareFile, accented);
    EXPECT_TRUE(start.isEnabled());
}
