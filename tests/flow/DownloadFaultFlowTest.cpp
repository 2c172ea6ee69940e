// Download of the Down mem tab when things go wrong: pages and blocks the instrument does not
// deliver, Stop, the window closed in the middle, ports that cannot be opened and folders that
// cannot be written. Every run must leave whole pages on disk and hand the window back.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "DownloadRig.h"
#include "core/Paths.h"
#include "support/SimTestHelpers.h"

namespace {

using simtest::Acked;

const std::string kFlashHead = std::string(DownloadFlow::kIdLine) + "Download  FLASH 8M ...";
const std::string kEepromHead = std::string(DownloadFlow::kIdLine) + "Download Eeprom  ...";

}  // namespace

// ------------------------------------------------------------------------ flash page faults

// A page that fails is asked again from its first block, five times in a row at most; the retry
// count runs over the whole range. Only whole pages reach the file.
TEST_F(DownloadFlow, FailedPagesAreReadAgainUpToFiveTimesInARow)
{
    Start();
    Tick("chkEE2Down", false);
    const struct {
        const char* story;
        std::vector<SimFaultRule> faults;
        int last;   // pages 3 to last asked for
        int saved;  // pages 3 to saved in the file
        const char* reads;
        const char* trail;
    } cases[] = {
        // Block 2 of page 4 answers with a whole, well-formed frame of 1030 bytes: 1023 data bytes.
        {"block one byte short",
         {SimFaultRule::Command(0xE5, SimFault::Scripted).Target(0x4800, 0x4800).WithBytes(Acked(Bytes(1023, 0xEE))).Times(1)},
         5, 5, "3:0123 4:012 4:0123 5:0123", "3/5, 4/5, 4/5  (retry:1), 5/5  (retry:1)"},
        {"two pages failing four times each",
         {SimFaultRule::FlashPage(4, SimFault::Nak).Times(4), SimFaultRule::FlashPage(5, SimFault::Busy).Times(4)}, 6, 6,
         "3:0123 4:0 4:0 4:0 4:0 4:0123 5:0 5:0 5:0 5:0 5:0123 6:0123",
         "3/6, 4/6, 4/6  (retry:1), 4/6  (retry:2), 4/6  (retry:3), 4/6  (retry:4), 5/6  (retry:4), 5/6  (retry:5), "
         "5/6  (retry:6), 5/6  (retry:7), 5/6  (retry:8), 6/6  (retry:8)"},
        {"page failing five times", {SimFaultRule::FlashPage(5, SimFault::Silence)}, 8, 4, "3:0123 4:0123 5:0 5:0 5:0 5:0 5:0",
         "3/8, 4/8, 5/8, 5/8  (retry:1), 5/8  (retry:2), 5/8  (retry:3), 5/8  (retry:4)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        const std::string fla = Fla(NextRun(), 3, c.last);
        for (const SimFaultRule& fault : c.faults)
            rig.instrument.AddFault(fault);
        Pages("3", std::to_string(c.last).c_str());
        Download();

        EXPECT_EQ(SavedFiles(), Names{fla});
        EXPECT_EQ(FileBytes(fla), FlashPages(3, c.saved));
        EXPECT_EQ(PageReads(), c.reads);
        EXPECT_EQ(Trail(), c.trail);
        if (c.saved == c.last) {
            EXPECT_EQ(Log(), kIdLine + SavedText(fla));
        } else {
            EXPECT_EQ(Log(), kFlashHead + "\r\n  Page N°: 5/8  (retry:4)\r\n Aborted ... \r\n Kept: " + ToUpperAscii(fla) +
                                 "  (2 whole pages)");
        }
        EXPECT_TRUE(rig.dialogs.messages.empty());
        ExpectIdle();
    }
}

// Both memories share one name and the EEPROM comes first; the lines shown before the first block,
// and the save dialog.
TEST_F(DownloadFlow, TheEepromImageAppearsOnlyWholeAndTheFlashImageGrowsByWholePages)
{
    Start();
    Pages("3", "6");
    Names filesMidEeprom{"<not seen>"};
    rig.When([&] { return rig.instrument.CountRequests('e') == 10; }, [&] { filesMidEeprom = SavedFiles(); });
    Bytes flashMidway;
    // Page 5 is on its way: pages 3 and 4 must be on disk already.
    rig.When([&] { return rig.instrument.CountRequests(0xE5) == 9; }, [&] { flashMidway = FileBytes(Fla(kBase, 3, 6)); });
    Download();

    EXPECT_EQ(filesMidEeprom, Names{kEpr + ".part"}) << "the image takes its name when complete";
    EXPECT_EQ(flashMidway, FlashPages(3, 4));
    EXPECT_EQ(FileBytes(Fla(kBase, 3, 6)), FlashPages(3, 6));
    EXPECT_EQ(SavedText(Fla(kBase, 3, 5)), "Download  FLASH 8M ...  OK\r\n VRTA708_00001234_FWV1.05_260101000000_0003-0005.FLA");
    // Speed, identification, identification after the folder.
    ASSERT_GE(logs.size(), 3u);
    EXPECT_EQ(logs[0] + "|" + logs[1] + "|" + logs[2], "115200|VRTA708  SN.00001234\r\n|" + std::string(kIdLine));
    ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
    const FileDialogRequest& asked = rig.dialogs.fileRequests[0];
    const std::string appFolder = rig.folder.path().toStdString();
    EXPECT_EQ(asked.folder, appFolder);
    EXPECT_EQ(asked.filter, "Data file | *.*");
    EXPECT_EQ(asked.suggestedName, JoinPath(appFolder, kBase));
    EXPECT_TRUE(asked.confirmOverwrite);
}

// ------------------------------------------------------------------ the window is closed

TEST_F(DownloadFlow, ClosingTheWindowDuringTheFlashStageLeavesWholePages)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("3", "6");
    rig.instrument.AddFault(SimFaultRule::FlashPage(4, SimFault::Slow).Delay(0.2).Times(1));
    rig.When([&] { return rig.instrument.CountRequests(0xE5) == 5; }, [&] { rig.form->close(); });
    Download();

    EXPECT_TRUE(rig.host.Quitting());
    EXPECT_EQ(FileBytes(Fla(kBase, 3, 6)), FlashPages(3, 3)) << "whole pages only";
    EXPECT_EQ(rig.instrument.CountRequests(0xE5), 5u) << "nothing is asked after the close";
    EXPECT_TRUE(Log().ends_with("\r\n Aborted ... \r\n Kept: VRTA708_00001234_FWV1.05_260101000000_0003-0006.FLA  (1 whole page)"))
        << Log();
    EXPECT_TRUE(rig.dialogs.messages.empty());
    ExpectIdle();
}

// ---------------------------------------------------------- before anything is read

// The port's own message first, then the operation's box; a folder that cannot be written is
// found before anything is read.
TEST_F(DownloadFlow, PortsAndFoldersThatCannotBeOpenedAreReportedBeforeAnythingIsRead)
{
    Start();
    Pages("3", "5");
    const std::string missing = saveFolder.filePath("gone/whatever.dat").toStdString();
    const struct {
        const char* story;
        std::set<int> ports;
        bool busy, eeprom;
        Names titles;
        std::string first;  // the text of the first box
        std::string text;   // of the operation's box
        std::size_t requests;
        std::string log;
    } cases[] = {
        {"port missing", {}, false, true, {"Error", "Routine <cmdFlash>"},
         "Error: COM1  (1) No such file or directory\r\nSerial port not available", "Porta seriale non disponibile", 0, "115200"},
        {"port held", {1}, true, true, {"Routine <InitSeriale>", "Routine <cmdFlash>"}, "", "Error :2\r\nPermission denied", 0, "115200"},
        {"folder missing", {1}, false, true, {"Routine <cmdFlash>"}, "", "Error :2\r\nNo such file or directory", 2, kEepromHead},
        {"folder missing, flash only", {1}, false, false, {"Routine <cmdFlash>"}, "", "Error :2\r\nNo such file or directory", 2,
         kFlashHead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        NextRun();
        rig.port.SetExistingPorts(c.ports);
        rig.port.SetBusy(1, c.busy);
        Tick("chkEE2Down", c.eeprom);
        Download(missing);
        EXPECT_EQ(Titles(), c.titles);
        if (!c.first.empty()) {
            EXPECT_EQ(rig.dialogs.messages.front().text, c.first);
        }
        EXPECT_EQ(rig.dialogs.messages.back().icon, MsgIcon::Critical);
        EXPECT_EQ(rig.dialogs.messages.back().text, c.text);
        EXPECT_EQ(rig.dialogs.fileRequests.size(), c.requests ? 1u : 0u);
        EXPECT_EQ(rig.instrument.Requests().size(), c.requests) << "identification and count only";
        EXPECT_EQ(Log(), c.log);
        EXPECT_TRUE(SavedFiles().empty());
        ExpectIdle();
    }
}
