// Download of the Down mem tab when things go wrong: pages and blocks the instrument does not
// deliver, Stop, the window closed in the middle, ports that cannot be opened and folders that
// cannot be written. Every run must leave whole pages on disk and hand the window back.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DownloadRig.h"
#include "app/DownMemActions.h"
#include "link/Frames.h"
#include "memory/MemoryDownload.h"

namespace {

const std::string kEpr = std::string(DownloadFlow::kBase) + ".epr";
const std::string kFlashHead = std::string(DownloadFlow::kIdLine) + "Download  FLASH 8M ...";
const std::string kEepromHead = std::string(DownloadFlow::kIdLine) + "Download Eeprom  ...";

std::string Fla(const char* range)
{
    return std::string(DownloadFlow::kBase) + "_" + range + ".fla";
}

// The four block addresses of each page, in order.
std::vector<std::uint32_t> PageBlocks(std::initializer_list<int> pages)
{
    std::vector<std::uint32_t> addresses;
    for (const int page : pages)
        for (std::uint32_t block = 0; block < 4; ++block)
            addresses.push_back(static_cast<std::uint32_t>(page) * 4096 + block * 1024);
    return addresses;
}

std::vector<std::uint32_t> Join(std::initializer_list<std::vector<std::uint32_t>> parts)
{
    std::vector<std::uint32_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The tab's own view that also keeps every progress value the operation asked for: the bar
// itself ignores values beyond its range, so it could never show an overrun.
class ProgressRecorder : public DownMemView {
public:
    explicit ProgressRecorder(DownMemView& tab) : tab_(tab) {}
    std::vector<int> values;

    std::string Status() const override { return tab_.Status(); }
    void SetStatus(const std::string& text) override { tab_.SetStatus(text); }
    void SetProgressVisible(bool visible) override { tab_.SetProgressVisible(visible); }
    void SetProgress(int percent) override
    {
        values.push_back(percent);
        tab_.SetProgress(percent);
    }
    bool EepromChosen() const override { return tab_.EepromChosen(); }
    bool FlashChosen() const override { return tab_.FlashChosen(); }
    bool RecordCountRangeChosen() const override { return tab_.RecordCountRangeChosen(); }
    std::string FromPageText() const override { return tab_.FromPageText(); }
    std::string ToPageText() const override { return tab_.ToPageText(); }
    void SetPageTexts(const std::string& from, const std::string& to) override { tab_.SetPageTexts(from, to); }
    bool AbortRequested() const override { return tab_.AbortRequested(); }

private:
    DownMemView& tab_;
};

}  // namespace

// ------------------------------------------------------------------------ flash page faults

TEST_F(DownloadFlow, PageFailingTwiceIsReadAgainAndTheImageIsComplete)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("3", "6");
    const int nak = rig.instrument.AddFault(SimFaultRule::FlashPage(4, SimFault::Nak).Times(2));
    Download();

    EXPECT_EQ(rig.instrument.FaultStrikes(nak), 2);
    EXPECT_EQ(SavedFiles(), std::vector<std::string>{Fla("0003-0006")});
    EXPECT_EQ(FileBytes(Fla("0003-0006")), FlashPages(3, 6));
    EXPECT_EQ(PageLines(), (std::vector<std::string>{"  Page N°: 3/6", "  Page N°: 4/6", "  Page N°: 4/6  (retry:1)",
                                                     "  Page N°: 4/6  (retry:2)", "  Page N°: 5/6  (retry:2)",
                                                     "  Page N°: 6/6  (retry:2)"}));
    EXPECT_EQ(Log(), kFlashHead + "  OK\r\n " + Upper(Fla("0003-0006")));
    // A refused page is asked again from its first block.
    EXPECT_EQ(FlashReads(), Join({PageBlocks({3}), {0x4000, 0x4000}, PageBlocks({4, 5, 6})}));
    ExpectIdle();
}

TEST_F(DownloadFlow, ShortBlockInTheMiddleOfAPageAddsNothingAndThePageIsReadAgain)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("3", "5");
    // Block 2 of page 4 answers with a whole frame that carries 1000 bytes instead of 1024.
    Bytes shortAnswer{ctl::ACK};
    const Bytes frame = BuildLongFrame(Bytes(1000, 0xEE));
    shortAnswer.insert(shortAnswer.end(), frame.begin(), frame.end());
    rig.instrument.AddFault(
        SimFaultRule::Command(0xE5, SimFault::Scripted).Target(0x4800, 0x4800).WithBytes(shortAnswer).Times(1));
    Download();

    EXPECT_EQ(FileBytes(Fla("0003-0005")), FlashPages(3, 5));
    EXPECT_EQ(FlashReads(), Join({PageBlocks({3}), {0x4000, 0x4400, 0x4800}, PageBlocks({4, 5})}));
    EXPECT_EQ(LastPageLine(), "  Page N°: 5/5  (retry:1)");
    EXPECT_EQ(Log(), kFlashHead + "  OK\r\n " + Upper(Fla("0003-0005")));
}

TEST_F(DownloadFlow, PageFailingFiveTimesAbortsAndKeepsThePagesBeforeIt)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("3", "8");
    rig.instrument.AddFault(SimFaultRule::FlashPage(5, SimFault::Silence));
    const double started = rig.host.Now();
    Download();

    EXPECT_EQ(SavedFiles(), std::vector<std::string>{Fla("0003-0008")});
    EXPECT_EQ(FileBytes(Fla("0003-0008")), FlashPages(3, 4));
    EXPECT_EQ(Log(), kFlashHead + "\r\n  Page N°: 5/8  (retry:4)\r\n Aborted ... ");
    EXPECT_EQ(FlashReads(), Join({PageBlocks({3, 4}), std::vector<std::uint32_t>(5, 0x5000)}));
    // Five acknowledge waits of 0.4 s each, and nothing else waits that long.
    EXPECT_GE(rig.host.Now() - started, 2.0);
    EXPECT_LT(rig.host.Now() - started, 2.6);
    EXPECT_TRUE(rig.dialogs.messages.empty());
    ExpectIdle();
}

TEST_F(DownloadFlow, FailuresOfDifferentPagesDoNotAddUp)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("3", "6");
    rig.instrument.AddFault(SimFaultRule::FlashPage(4, SimFault::Nak).Times(4));
    rig.instrument.AddFault(SimFaultRule::FlashPage(5, SimFault::Busy).Times(4));
    Download();

    EXPECT_EQ(FileBytes(Fla("0003-0006")), FlashPages(3, 6));
    EXPECT_EQ(LastPageLine(), "  Page N°: 6/6  (retry:8)");
    EXPECT_EQ(Log(), kFlashHead + "  OK\r\n " + Upper(Fla("0003-0006")));
}

TEST_F(DownloadFlow, ProgressCountsFailedAttemptsButNeverPasses100)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("0", "1");
    rig.instrument.AddFault(SimFaultRule::FlashPage(0, SimFault::Nak).Times(2));
    rig.dialogs.filePaths.push_back(ChosenPath());

    ProgressRecorder view(*rig.form->downMemActions);
    MemoryDownload download(rig.link, rig.dialogs, rig.form->Catalogue(), view, rig.folder.path().toStdString());
    EXPECT_EQ(download.Run(), 0);
    rig.link.CloseSeriale();

    // Steps of 50: two failures and two pages would make 200.
    EXPECT_EQ(view.values, (std::vector<int>{0, 50, 100, 100, 100}));
    EXPECT_EQ(FileBytes(Fla("0000-0001")), FlashPages(0, 1));
}

// --------------------------------------------------------------------- EEPROM block faults

TEST_F(DownloadFlow, EepromBlockOfTheWrongLengthIsReportedAndNothingIsSaved)
{
    Start();
    Pages("3", "5");
    // The block at 300 comes back one byte short, in a frame that is complete in itself.
    const Bytes& eeprom = rig.instrument.Eeprom();
    Bytes answer{ctl::ACK};
    const Bytes frame = BuildShortFrame(Bytes(eeprom.begin() + 300, eeprom.begin() + 399));
    answer.insert(answer.end(), frame.begin(), frame.end());
    ASSERT_EQ(answer.size(), 105u);
    rig.instrument.AddFault(SimFaultRule::EepromBlock(300, SimFault::Scripted).WithBytes(answer));
    Download();

    EXPECT_EQ(Log(), kEepromHead + "\r\nAddr: 0300\r\n  Rx error at address: 300\r\n  Rx: " + BytesToHex(answer) +
                         "\r\n Aborted ... ");
    EXPECT_TRUE(SavedFiles().empty());
    EXPECT_EQ(Commands(), "I l ex4") << "the flash stage must not run";
    EXPECT_EQ(rig.instrument.CountRequests(0xE5), 0u);
    EXPECT_TRUE(rig.dialogs.messages.empty());
    ExpectIdle();
}

TEST_F(DownloadFlow, EepromBlockWithoutACompleteAnswerAbortsWithoutAMessageText)
{
    Start();
    // Half of the answer, then nothing.
    rig.instrument.AddFault(SimFaultRule::EepromBlock(1900, SimFault::Truncated));
    Download();

    EXPECT_EQ(Log(), kEepromHead + "\r\nAddr: 1900\r\n Aborted ... ");
    EXPECT_TRUE(SavedFiles().empty()) << "an EEPROM image exists only when complete";
    EXPECT_EQ(rig.instrument.CountRequests(0xE5), 0u);
    ExpectIdle();
}

// ------------------------------------------------------------------ images while running

TEST_F(DownloadFlow, TheEepromImageAppearsOnlyWholeAndTheFlashImageGrowsByWholePages)
{
    Start();
    Pages("3", "6");
    std::vector<std::string> filesMidEeprom;
    When([&] { return rig.instrument.CountRequests('e') == 10; }, [&] { filesMidEeprom = SavedFiles(); });
    Bytes flashMidway;
    // Page 5 is on its way: pages 3 and 4 must be on disk already.
    When([&] { return FlashReads().size() == 9; }, [&] { flashMidway = FileBytes(Fla("0003-0006")); });
    Download();

    EXPECT_TRUE(filesMidEeprom.empty());
    EXPECT_EQ(flashMidway, FlashPages(3, 4));
    EXPECT_EQ(FileBytes(Fla("0003-0006")), FlashPages(3, 6));
}

// ---------------------------------------------------------------------------------- Stop

TEST_F(DownloadFlow, StopDuringTheEepromStageSavesNothing)
{
    Start();
    Pages("3", "5");
    // The block at 400 takes its time, so Stop comes while it is on its way.
    rig.instrument.AddFault(SimFaultRule::EepromBlock(400, SimFault::Slow).Delay(0.2).Times(1));
    const int opens = rig.port.Opens();
    std::vector<Controls> seen;
    When([&] { return rig.instrument.CountRequests('e') == 5; },
         [&] {
             seen.push_back(Snapshot());
             Button("cmdDownDwData").click();
             seen.push_back(Snapshot());
             Button("cmdDownDwData").click();  // impatient: nothing more happens
             seen.push_back(Snapshot());
         });
    Download();

    ASSERT_EQ(seen.size(), 3u);
    ExpectLockedWhileRunning(seen[0], "Stop");
    ExpectLockedWhileRunning(seen[1], "Wait ..");
    ExpectLockedWhileRunning(seen[2], "Wait ..");
    EXPECT_EQ(Log(), kEepromHead + "\r\nAddr: 0400\r\n Aborted ... ");
    EXPECT_TRUE(SavedFiles().empty());
    EXPECT_EQ(Commands(), "I l ex5") << "the block on its way ends the stage";
    EXPECT_EQ(rig.port.Opens(), opens + 1) << "a click during a run never starts another";
    EXPECT_EQ(rig.dialogs.fileRequests.size(), 1u);
    EXPECT_TRUE(rig.dialogs.messages.empty());
    ExpectIdle();
}

TEST_F(DownloadFlow, StopDuringTheFlashStageKeepsTheWholePagesRead)
{
    Start();
    Pages("3", "6");
    rig.instrument.AddFault(SimFaultRule::FlashPage(4, SimFault::Slow).Delay(0.2).Times(1));
    std::vector<Controls> seen;
    When([&] { return FlashReads().size() == 5; },
         [&] {
             seen.push_back(Snapshot());
             Button("cmdDownDwData").click();
             seen.push_back(Snapshot());
         });
    Download();

    ASSERT_EQ(seen.size(), 2u);
    ExpectLockedWhileRunning(seen[0], "Stop");
    ExpectLockedWhileRunning(seen[1], "Wait ..");
    EXPECT_EQ(SavedFiles(), (std::vector<std::string>{kEpr, Fla("0003-0006")}));
    EXPECT_EQ(FileBytes(kEpr), EepromPattern());
    EXPECT_EQ(FileBytes(Fla("0003-0006")), FlashPages(3, 4)) << "the page on its way is finished and kept";
    EXPECT_EQ(FlashReads(), PageBlocks({3, 4}));
    EXPECT_EQ(Log(), kIdLine + std::string("Download Eeprom  ...  OK\r\n ") + Upper(kEpr) +
                         "\r\n\r\nDownload  FLASH 8M ...\r\n  Page N°: 4/6\r\n Aborted ... ");
    ExpectIdle();

    // The next run starts afresh.
    rig.instrument.ClearRecord();
    rig.host.RunUntil(rig.host.Now() + 1.0);
    Tick("chkEE2Down", false);
    Pages("7", "7");
    Download();
    EXPECT_EQ(FlashReads(), PageBlocks({7}));
    EXPECT_EQ(Log(), kFlashHead + "  OK\r\n VRTA708_00001234_FWV1.05_260101000001_0007-0007.FLA");
}

// ------------------------------------------------------------------ the window is closed

TEST_F(DownloadFlow, ClosingTheWindowDuringTheFlashStageLeavesWholePages)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("3", "6");
    rig.instrument.AddFault(SimFaultRule::FlashPage(4, SimFault::Slow).Delay(0.2).Times(1));
    double closedAt = 0.0;
    When([&] { return FlashReads().size() == 5; },
         [&] {
             closedAt = rig.host.Now();
             rig.form->close();
         });
    Download();

    EXPECT_TRUE(rig.host.Quitting());
    EXPECT_LT(rig.host.Now() - closedAt, 0.01) << "every wait returns at once";
    const Bytes image = FileBytes(Fla("0003-0006"));
    EXPECT_EQ(image.size() % kPage, 0u);
    EXPECT_EQ(image, FlashPages(3, 3));
    EXPECT_EQ(FlashReads().size(), 5u) << "nothing is asked after the close";
    EXPECT_EQ(Log().substr(Log().size() - 15), "\r\n Aborted ... ");
    EXPECT_TRUE(rig.dialogs.messages.empty());
    ExpectIdle();
}

TEST_F(DownloadFlow, ClosingTheWindowWhileWaitingForAFreshNameShowsNoMessage)
{
    Start();
    Tick("chkFlashDown", false);
    Download();
    ASSERT_EQ(SavedFiles(), std::vector<std::string>{kEpr});

    // The second download waits for the next second; the window is closed meanwhile.
    When([&] { return rig.dialogs.fileRequests.size() == 2; }, [&] { rig.form->close(); });
    Download();

    EXPECT_TRUE(rig.host.Quitting());
    EXPECT_TRUE(rig.dialogs.messages.empty());
    EXPECT_EQ(SavedFiles(), std::vector<std::string>{kEpr});
    EXPECT_EQ(FileBytes(kEpr), EepromPattern());
    EXPECT_EQ(rig.instrument.CountRequests('e'), 20u) << "the second run read nothing";
    ExpectIdle();
}

// ---------------------------------------------------------- before anything is read

TEST_F(DownloadFlow, PortThatDoesNotExistIsReportedAfterThePortsOwnMessage)
{
    Start();
    rig.port.SetExistingPorts({});  // the adapter was unplugged after start-up
    Download();

    ASSERT_EQ(rig.dialogs.messages.size(), 2u);
    EXPECT_EQ(rig.dialogs.messages[0].title, "Error");
    EXPECT_EQ(rig.dialogs.messages[0].text, "Error: COM1  (1) No such file or directory\r\nSerial port not available");
    EXPECT_EQ(rig.dialogs.messages[1].icon, MsgIcon::Critical);
    EXPECT_EQ(rig.dialogs.messages[1].title, "Routine <cmdFlash>");
    EXPECT_EQ(rig.dialogs.messages[1].text, "Porta seriale non disponibile");
    EXPECT_TRUE(rig.dialogs.fileRequests.empty());
    EXPECT_TRUE(rig.instrument.Requests().empty());
    EXPECT_EQ(Log(), "115200");
    ExpectIdle();
}

TEST_F(DownloadFlow, PortHeldByAnotherProgramIsReportedWithItsError)
{
    Start();
    rig.port.SetBusy(1, true);
    Download();

    ASSERT_EQ(rig.dialogs.messages.size(), 2u);
    EXPECT_EQ(rig.dialogs.messages[0].title, "Routine <InitSeriale>");
    EXPECT_EQ(rig.dialogs.messages[1].icon, MsgIcon::Critical);
    EXPECT_EQ(rig.dialogs.messages[1].title, "Routine <cmdFlash>");
    EXPECT_EQ(rig.dialogs.messages[1].text, "Error :2\r\nPermission denied");
    EXPECT_TRUE(rig.dialogs.fileRequests.empty());
    ExpectIdle();
}

TEST_F(DownloadFlow, NoInstrumentGivesTheSerialErrorAndAsksForNoFolder)
{
    Start();
    rig.instrument.AddFault(SimFaultRule::Any(SimFault::Silence));
    Download();

    EXPECT_EQ(Log(), " Serial error !!\r\n\r\n  Check connection.");
    EXPECT_TRUE(rig.dialogs.fileRequests.empty());
    EXPECT_TRUE(rig.dialogs.messages.empty());
    EXPECT_EQ(Commands(), "I");
    EXPECT_TRUE(SavedFiles().empty());
    ExpectIdle();
}

TEST_F(DownloadFlow, UnreadableRecordCountEndsAfterTheIdentification)
{
    // Silent, busy or "not OK": no count, so no range can be taken from it.
    Start();
    for (const SimFault fault : {SimFault::Silence, SimFault::Busy, SimFault::NotOk}) {
        rig.instrument.ClearRecord();
        rig.instrument.ClearFaults();
        rig.instrument.AddFault(SimFaultRule::Command('l', fault));
        Download();

        EXPECT_EQ(Log(), "VRTA708  SN.00001234\r\n");
        EXPECT_TRUE(rig.dialogs.fileRequests.empty());
        EXPECT_TRUE(rig.dialogs.messages.empty());
        EXPECT_EQ(Commands(), "I l");
        ExpectIdle();
    }
}

TEST_F(DownloadFlow, FolderThatCannotBeWrittenIsReportedAndNothingIsRead)
{
    Start();
    const std::string missing = saveFolder.filePath("gone/whatever.dat").toStdString();

    Pages("3", "5");
    rig.dialogs.filePaths.push_back(missing);
    Button("cmdDownDwData").click();
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(rig.dialogs.messages[0].title, "Routine <cmdFlash>");
    EXPECT_EQ(rig.dialogs.messages[0].text, "Error :2\r\nNo such file or directory");
    EXPECT_EQ(rig.instrument.CountRequests(0xE5), 0u) << "the flash stage must not run after the failure";
    ExpectIdle();

    Tick("chkEE2Down", false);
    rig.dialogs.filePaths.push_back(missing);
    Button("cmdDownDwData").click();
    ASSERT_EQ(rig.dialogs.messages.size(), 2u);
    EXPECT_EQ(rig.dialogs.messages[1].text, "Error :2\r\nNo such file or directory");
    EXPECT_EQ(rig.instrument.CountRequests(0xE5), 0u) << "no page is read without a file to hold it";
    EXPECT_TRUE(SavedFiles().empty());
    ExpectIdle();
}
