// Info and Download of the Down mem tab when the instrument answers: what the log shows, which
// files appear in the chosen folder and what they hold, and what the instrument was asked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DownloadRig.h"
#include "core/Paths.h"

// The log is emptied first; the whole tab control and the "COMM" menu are off while Info runs.
TEST_F(DownloadFlow, InfoNamesTheInstrumentOrShowsTheBytesReceived)
{
    Start();
    const struct {
        std::optional<SimFaultRule> fault;
        std::string log;
        const char* speed;  // shown on success only
    } cases[] = {
        {std::nullopt, "VRTA708 SN:00001234  fw:1.05\r\n", "Baud: 115200"},
        {SimFaultRule::Any(SimFault::Silence), " Serial error !!\r\n\r\n  Check connection.\r\n  Rx: ", ""},
        // ACK, SOH, LEN 34 and the first seven characters of the name, then the line goes quiet.
        {SimFaultRule::Command('I', SimFault::Truncated).Length(10),
         " Serial error !!\r\n\r\n  Check connection.\r\n  Rx: 06012256525441373038", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        NextRun();
        if (c.fault)
            rig.instrument.AddFault(*c.fault);
        rig.form->StatusBar1Panel2->clear();
        std::string during = "<not seen>";
        rig.host.CallAfter(0.1, [&] { during = State() + " [" + Log() + "]"; });
        Button("cmdDownInfo").click();

        EXPECT_EQ(during, "tabs 1111 off 1, Download, buttons 000, comm 0, port 1, bar 0 / Upload []");
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(rig.Panel(2), c.speed);
        EXPECT_EQ(Commands(), "I");
        EXPECT_TRUE(rig.dialogs.messages.empty());
        ExpectIdle();
    }
}

// Drawing never delays the line: the line of an EEPROM block or of a page read shows once its
// request has gone out, and a page written shows once the next page's first block has.
// Each shows "<line>@<requests of its kind sent by then>".
TEST_F(MemoryUploadFlow, EachLineShowsOnceItsRequestIsOnTheLine)
{
    Start();
    Pages("3", "5");
    std::vector<std::string> shown;
    DownMemTab& tab = *rig.form->DownMem;
    QObject::connect(tab.txtDownStatus, &QPlainTextEdit::textChanged, &tab, [&] {
        const std::string log = Log();
        const auto at = log.rfind("\r\n");
        const std::string last = at == std::string::npos ? log : log.substr(at + 2);
        const bool eeprom = last.starts_with("Addr: ");
        const bool written = last.starts_with(" Page ");
        if (!eeprom && !written && !last.starts_with("  Page N°: "))
            return;
        std::size_t requests = 0;
        for (const Bytes& frame : rig.port.Writes())  // page writes go in long frames
            requests += written ? frame.size() > 3 && frame[3] == 0xE6 : frame.size() > 2 && frame[2] == (eeprom ? 'e' : 0xE5);
        shown.push_back(last + "@" + std::to_string(requests));
    });
    Download();
    ASSERT_EQ(Log(), kIdLine + SavedText(kEpr) + SavedText(Fla(kBase, 3, 5)));
    Names expected;
    for (int block = 0; block < 20; ++block)
        expected.push_back("Addr: " + ZeroPadded(block * 100, 4) + "@" + std::to_string(block + 1));
    for (int page = 3; page <= 5; ++page)  // four blocks a page
        expected.push_back("  Page N°: " + std::to_string(page) + "/5@" + std::to_string((page - 3) * 4 + 1));
    EXPECT_EQ(shown, expected);

    shown.clear();
    Tick("chkEE2Down", false);
    const std::string name = Fla("QS408t_77_fwV2.00_250101000000", 3, 5);
    Upload(Image(name, FlashImage(3)));
    ASSERT_EQ(Log(), FlashDone(name, "3-5"));
    EXPECT_EQ(shown, (Names{" Page 3/5@5", " Page 4/5@9", " Page 5/5@12"})) << "after the last page nothing follows";
}

// Both memories, one or neither, and page fields read as their leading number rounded half to even.
// The bar moves 100 / (last + 1) a page whatever the first page is.
TEST_F(DownloadFlow, OnlyTheTickedMemoriesAreSaved)
{
    Start();
    const struct {
        bool eeprom, flash;
        const char* from;
        const char* to;
        int first, last;
        const char* commands;
        int lastProgress;
    } cases[] = {
        {true, true, "3", "5", 3, 5, "I l ex20 E5x12", 50},
        {false, true, "2.5", "3.5 pages", 2, 4, "I l E5x12", 60},
        {false, true, "0", "0", 0, 0, "I l E5x4", 100},
        {false, false, "3", "5", 0, -1, "I l", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.eeprom ? "EEPROM " : "") + (c.flash ? "flash " : "") + c.from + " to " + c.to);
        const std::string base = NextRun();
        Tick("chkEE2Down", c.eeprom);
        Tick("chkFlashDown", c.flash);
        Pages(c.from, c.to);
        Download();

        Names files;
        if (c.eeprom)
            files.push_back(base + ".epr");
        if (c.flash)
            files.push_back(Fla(base, c.first, c.last));
        EXPECT_EQ(SavedFiles(), files);
        std::string log = kIdLine;
        for (const std::string& file : files)
            log += SavedText(file);
        EXPECT_EQ(Log(), log);
        if (c.eeprom) {
            EXPECT_EQ(FileBytes(files.front()), rig.instrument.Eeprom());
        }
        if (c.flash) {
            EXPECT_EQ(FileBytes(files.back()), FlashPages(c.first, c.last));
            EXPECT_EQ(Range(), std::to_string(c.first) + "-" + std::to_string(c.last));
        }
        EXPECT_EQ(Commands(), c.commands);
        EXPECT_EQ(LastProgress(), c.lastProgress);
        EXPECT_TRUE(rig.dialogs.messages.empty());
        ExpectIdle();
    }
}

TEST_F(DownloadFlow, WithoutTheFlashLineTheHiddenBoxesSaveEepromAndTheWholeFlash)
{
    Start("");
    ASSERT_FALSE(Shown(rig.Control<QCheckBox>("chkFlashDown")));
    Download();

    const std::string fla = Fla(kBase, 0, 2047);
    EXPECT_EQ(SavedFiles(), (Names{kEpr, fla}));
    EXPECT_EQ(FileBytes(kEpr), rig.instrument.Eeprom());
    EXPECT_TRUE(FileBytes(fla) == FlashPages(0, 2047)) << "the 8 MiB image differs from the flash";
    EXPECT_EQ(LastProgress(), 100);
    ExpectIdle();
}

// "Flash #MIS only": pages 0 to (count + 1) / 2 + 22, the count read from parameter 146 or 26 by
// device; a device in neither group counts 9999, which fails the range check.
TEST_F(DownloadFlow, FlashMisOnlyTakesThePagesFromTheStoredRecordCount)
{
    Start();
    Tick("chkDownALLdata", true);
    const struct {
        SimIdentity id;
        const char* name;
        int count;
        unsigned parameter;  // 0: none asked
        int last;
    } cases[] = {
        {{"VRTA708"}, "VRTA708_00001234_fwV1.05", 57, 146, 51},
        {{"VRTA708"}, "VRTA708_00001234_fwV1.05", 58, 146, 51},
        {{"VRTA708"}, "VRTA708_00001234_fwV1.05", 0, 146, 22},
        {{"QS408t"}, "QS408t_00001234_fwV1.05", 1, 26, 23},
        {{"XK-1", "00000077", "2.101.02  0314"}, "XK-1_00000077_fwV2.10", 9999, 0, 5022},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " count " + std::to_string(c.count));
        const std::string base = NextRun(c.name);
        rig.instrument.SetIdentity(c.id);
        rig.instrument.SetRecordCount(c.count);
        Download();

        const std::string head = c.id.name + "  SN: " + c.id.serial + "\r\n" + SavedText(base + ".epr");
        const std::string mis = "  #mis: " + std::to_string(c.count);
        EXPECT_EQ(Range(), "0-" + std::to_string(c.last));
        if (c.parameter == 0) {
            EXPECT_EQ(SavedFiles(), Names{base + ".epr"}) << "no flash image";
            EXPECT_EQ(Log(), head + "Download  FLASH 8M ..." + mis + "\r\n <To> must be <2047\r\n Aborted ... ");
            EXPECT_EQ(Commands(), "I ex20") << "no count is asked of an unknown device";
        } else {
            const std::string fla = Fla(base, 0, c.last);
            EXPECT_EQ(SavedFiles(), (Names{base + ".epr", fla}));
            EXPECT_EQ(FileBytes(fla), FlashPages(0, c.last));
            EXPECT_EQ(Log(), head + SavedText(fla, mis));
            EXPECT_EQ(Reads('l'), std::vector<std::uint32_t>{c.parameter});
            EXPECT_EQ(Commands(), "I l ex20 E5x" + std::to_string(4 * (c.last + 1)));
            EXPECT_EQ(LastProgress(), 100) << "a download from page 0 fills the bar";
        }
        ExpectIdle();
    }
}

// Two downloads within one second would share the name: the second waits for the next second,
// also when only an image of the other kind holds the name.
TEST_F(DownloadFlow, DownloadsInTheSameSecondTakeTheNextSecondsName)
{
    Start();
    Pages("3", "5");
    Download();
    const std::string fla = Fla(kBase, 3, 5);
    ASSERT_EQ(SavedFiles(), (Names{kEpr, fla}));
    const Bytes firstFlash = FileBytes(fla);

    // The flash changes, and the same range is saved again at once.
    rig.instrument.WriteFlash(3 * 4096, Bytes(4096, 0x5A));
    ASSERT_LT(rig.host.Now(), kStartS + 0.75) << "the second download must start within the same second";
    Tick("chkEE2Down", false);
    Download();
    const std::string second = "VRTA708_00001234_fwV1.05_260101000001_0003-0005.fla";
    EXPECT_EQ(SavedFiles(), (Names{kEpr, fla, second}));
    EXPECT_EQ(FileBytes(fla), firstFlash) << "the first image was overwritten";
    EXPECT_EQ(FileBytes(second), FlashPages(3, 5));
    EXPECT_EQ(Log(), kIdLine + SavedText(second));

    // Only the EEPROM now, still in that second: no .epr of that name yet, but the flash image holds it.
    ASSERT_LT(rig.host.Now(), kStartS + 1.75);
    Tick("chkEE2Down", true);
    Tick("chkFlashDown", false);
    Download();
    EXPECT_EQ(SavedFiles(), (Names{kEpr, fla, second, "VRTA708_00001234_fwV1.05_260101000002.epr"}));

    // Every name up to five seconds later taken as well: the download says so and reads nothing.
    NextRun();
    const int first = static_cast<int>(rig.host.Now() - kStartS);
    for (int s = first; s <= first + 5; ++s)
        WriteFileBytes(saveFolder.filePath(QString::fromStdString(
                           "VRTA708_00001234_fwV1.05_2601010000" + ZeroPadded(s, 2) + (s % 2 ? ".epr" : "_0001-0002.fla"))).toStdString(), {});
    Download();
    EXPECT_EQ(rig.instrument.CountRequests('e'), 0u);
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages[0].title, "Routine <cmdFlash>");
    EXPECT_EQ(rig.dialogs.messages[0].text,
              "Error :17\r\nImage files named VRTA708_00001234_fwV1.05_2601010000" + ZeroPadded(first + 5, 2) + " already exist");
    EXPECT_EQ(SavedFiles().size(), 6u);
    ExpectIdle();

    // The window is closed while a download waits for the next second: no message, nothing read.
    NextRun();
    Download();
    ASSERT_EQ(SavedFiles().size(), 1u);
    rig.When([&] { return rig.dialogs.fileRequests.size() == 2; }, [&] { rig.form->close(); });
    Download();
    EXPECT_TRUE(rig.host.Quitting());
    EXPECT_TRUE(rig.dialogs.messages.empty());
    EXPECT_EQ(SavedFiles().size(), 1u);
    EXPECT_EQ(rig.instrument.CountRequests('e'), 20u) << "the second run read nothing";
    ExpectIdle();
}
