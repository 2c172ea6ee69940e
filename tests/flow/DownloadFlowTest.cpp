// Info and Download of the Down mem tab when the instrument answers: what the log shows, which
// files appear in the chosen folder and what they hold, and what the instrument was asked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DownloadRig.h"
#include "core/Paths.h"

namespace {

const std::string kEpr = std::string(DownloadFlow::kBase) + ".epr";

std::vector<std::string> Names(std::initializer_list<std::string> names)
{
    return names;
}

// EEPROM addresses of the block reads the instrument received, in order.
std::vector<std::uint32_t> EepromReads(const SimInstrument& instrument)
{
    std::vector<std::uint32_t> addresses;
    for (const Bytes& request : instrument.Requests())
        if (request[0] == 'e')
            addresses.push_back(*SimInstrument::RequestTarget(request));
    return addresses;
}

std::vector<std::uint32_t> Blocks(std::uint32_t first, std::uint32_t count, std::uint32_t step)
{
    std::vector<std::uint32_t> addresses;
    for (std::uint32_t i = 0; i < count; ++i)
        addresses.push_back(first + i * step);
    return addresses;
}

}  // namespace

// ------------------------------------------------------------------------------------- Info

using DownInfo = DownloadFlow;

TEST_F(DownInfo, NamesTheInstrumentAndHandsTheControlsBack)
{
    Start();
    rig.form->StatusBar1Panel2->clear();
    std::vector<Controls> during;
    bool tabControlEnabledDuring = true;
    std::string logDuring = "<not seen>";
    rig.host.CallAfter(0.1, [&] {
        during.push_back(Snapshot());
        tabControlEnabledDuring = rig.form->SSTab1->isEnabled();
        logDuring = Log();
    });
    Button("cmdDownInfo").click();

    ASSERT_EQ(during.size(), 1u);
    EXPECT_FALSE(tabControlEnabledDuring);
    EXPECT_FALSE(during[0].downloadEnabled);
    EXPECT_FALSE(during[0].uploadEnabled);
    EXPECT_FALSE(during[0].commMenuEnabled);
    EXPECT_TRUE(during[0].portOpen);
    EXPECT_EQ(logDuring, "") << "the log is emptied first";

    EXPECT_EQ(Log(), "VRTA708 SN:00001234  fw:1.05\r\n");
    EXPECT_EQ(rig.form->StatusBar1Panel2->text().toStdString(), "Baud: 115200");
    EXPECT_EQ(Commands(), "I");
    EXPECT_TRUE(rig.form->SSTab1->isEnabled());
    EXPECT_TRUE(rig.dialogs.messages.empty());
    ExpectIdle();
}

TEST_F(DownInfo, SilentInstrumentGivesTheSerialErrorWithNothingReceived)
{
    Start();
    rig.instrument.AddFault(SimFaultRule::Any(SimFault::Silence));
    rig.form->StatusBar1Panel2->clear();
    Button("cmdDownInfo").click();

    EXPECT_EQ(Log(), " Serial error !!\r\n\r\n  Check connection.\r\n  Rx: ");
    EXPECT_EQ(rig.form->StatusBar1Panel2->text().toStdString(), "") << "the speed is shown on success only";
    EXPECT_TRUE(rig.form->SSTab1->isEnabled());
    ExpectIdle();
}

TEST_F(DownInfo, BrokenAnswerIsShownAsTheBytesReceived)
{
    Start();
    // ACK, SOH, LEN 34 and the first seven characters of the name, then the line goes quiet.
    rig.instrument.AddFault(SimFaultRule::Command('I', SimFault::Truncated).Length(10));
    Button("cmdDownInfo").click();

    EXPECT_EQ(Log(), " Serial error !!\r\n\r\n  Check connection.\r\n  Rx: 06012256525441373038");
    ExpectIdle();
}

// --------------------------------------------------------------------- Download, the stages

TEST_F(DownloadFlow, EepromOnlySavesTheWholeEepromUnderTheInstrumentsName)
{
    Start();
    Tick("chkFlashDown", false);
    Download();

    EXPECT_EQ(SavedFiles(), Names({kEpr}));
    EXPECT_EQ(FileBytes(kEpr), EepromPattern());
    EXPECT_EQ(Log(), std::string(kIdLine) + "Download Eeprom  ...  OK\r\n VRTA708_00001234_FWV1.05_260101000000.EPR\r\n\r\n");

    // Speed, identification, identification after the folder, then one line per block.
    ASSERT_GE(logs.size(), 3u);
    EXPECT_EQ(logs[0], "115200");
    EXPECT_EQ(logs[1], "VRTA708  SN.00001234\r\n");
    EXPECT_EQ(logs[2], kIdLine);
    std::vector<std::string> addressLines;
    for (const std::string& log : logs)
        if (const auto at = log.find("\r\nAddr: "); at != std::string::npos)
            addressLines.push_back(log.substr(at + 2));
    ASSERT_EQ(addressLines.size(), 20u);
    EXPECT_EQ(addressLines.front(), "Addr: 0000");
    EXPECT_EQ(addressLines[1], "Addr: 0100");
    EXPECT_EQ(addressLines.back(), "Addr: 1900");

    // Identification, the stored-record count (parameter 146 of a VRTA708), then 20 blocks.
    EXPECT_EQ(Commands(), "I l ex20");
    EXPECT_EQ(*SimInstrument::RequestTarget(rig.instrument.Requests()[1]), 146u);
    EXPECT_EQ(EepromReads(rig.instrument), Blocks(0, 20, 100));

    ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
    const FileDialogRequest& asked = rig.dialogs.fileRequests[0];
    const std::string appFolder = rig.folder.path().toStdString();
    EXPECT_EQ(asked.folder, appFolder);
    EXPECT_EQ(asked.filter, "Data file | *.*");
    EXPECT_EQ(asked.suggestedName, JoinPath(appFolder, kBase));
    EXPECT_TRUE(asked.confirmOverwrite);
    EXPECT_TRUE(rig.dialogs.messages.empty());
    ExpectIdle();
}

TEST_F(DownloadFlow, FlashRangeOnlySavesThosePagesInOrder)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("3", "5");
    Download();

    const std::string fla = std::string(kBase) + "_0003-0005.fla";
    EXPECT_EQ(SavedFiles(), Names({fla}));
    EXPECT_EQ(FileBytes(fla), FlashPages(3, 5));
    const std::string before = std::string(kIdLine) + "Download  FLASH 8M ...";
    EXPECT_EQ(Log(), before + "  OK\r\n VRTA708_00001234_FWV1.05_260101000000_0003-0005.FLA");
    EXPECT_EQ(PageLines(), (std::vector<std::string>{"  Page N°: 3/5", "  Page N°: 4/5", "  Page N°: 5/5"}));
    EXPECT_EQ(FlashReads(), Blocks(3 * 4096, 12, 1024));
    EXPECT_EQ(Commands(), "I l E5x12");
    EXPECT_EQ(FromText(), "3");
    EXPECT_EQ(ToText(), "5");

    // The bar moves 100 / (last + 1) a page whatever the first page is: three of six steps.
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(LastProgress(), 50);
    ExpectIdle();
}

TEST_F(DownloadFlow, BothMemoriesShareOneNameAndTheEepromComesFirst)
{
    Start();
    Pages("3", "5");
    Download();

    const std::string fla = std::string(kBase) + "_0003-0005.fla";
    EXPECT_EQ(SavedFiles(), Names({kEpr, fla}));
    EXPECT_EQ(FileBytes(kEpr), EepromPattern());
    EXPECT_EQ(FileBytes(fla), FlashPages(3, 5));
    EXPECT_EQ(Log(), std::string(kIdLine) +
                         "Download Eeprom  ...  OK\r\n VRTA708_00001234_FWV1.05_260101000000.EPR\r\n\r\n"
                         "Download  FLASH 8M ...  OK\r\n VRTA708_00001234_FWV1.05_260101000000_0003-0005.FLA");
    EXPECT_EQ(Commands(), "I l ex20 E5x12");
    ExpectIdle();
}

TEST_F(DownloadFlow, WithoutTheFlashLineTheHiddenBoxesSaveEepromAndTheWholeFlash)
{
    Start("");
    ASSERT_FALSE(Shown(Box("chkFlashDown")));
    Download();

    const std::string fla = std::string(kBase) + "_0000-2047.fla";
    EXPECT_EQ(SavedFiles(), Names({kEpr, fla}));
    EXPECT_EQ(FileBytes(kEpr), EepromPattern());
    const Bytes image = FileBytes(fla);
    EXPECT_EQ(image.size(), 8388608u);
    EXPECT_TRUE(image == FlashPages(0, 2047)) << "the 8 MiB image differs from the flash";
    EXPECT_EQ(FlashReads().size(), 2048u * 4);
    ASSERT_FALSE(FlashReads().empty());
    EXPECT_EQ(FlashReads().back(), 2047u * 4096 + 3 * 1024);
    EXPECT_EQ(LastPageLine(), "  Page N°: 2047/2047");
    EXPECT_EQ(LastProgress(), 100);
    ExpectIdle();
}

TEST_F(DownloadFlow, NeitherMemoryTickedOnlyIdentifiesAndAsksForTheFolder)
{
    Start();
    Tick("chkEE2Down", false);
    Tick("chkFlashDown", false);
    Download();

    EXPECT_EQ(Log(), kIdLine);
    EXPECT_TRUE(SavedFiles().empty());
    EXPECT_EQ(Commands(), "I l");
    EXPECT_EQ(rig.dialogs.fileRequests.size(), 1u);
    EXPECT_TRUE(rig.dialogs.messages.empty());
    ExpectIdle();
}

TEST_F(DownloadFlow, CancelledFolderEndsQuietly)
{
    Start();
    rig.dialogs.filePaths.push_back(std::nullopt);
    Button("cmdDownDwData").click();

    EXPECT_EQ(rig.dialogs.fileRequests.size(), 1u);
    EXPECT_TRUE(rig.dialogs.messages.empty());
    EXPECT_EQ(Log(), "VRTA708  SN.00001234\r\n");
    EXPECT_EQ(Commands(), "I l");
    EXPECT_TRUE(SavedFiles().empty());
    ExpectIdle();

    // An empty answer ends the same way.
    rig.dialogs.filePaths.push_back(std::string());
    Button("cmdDownDwData").click();
    EXPECT_EQ(rig.dialogs.fileRequests.size(), 2u);
    EXPECT_TRUE(rig.dialogs.messages.empty());
    EXPECT_EQ(Commands(), "I l I l");
    ExpectIdle();
}

// ------------------------------------------------------------------------ the page range

TEST_F(DownloadFlow, PageFieldsAreReadAsTheirLeadingNumberRoundedHalfToEven)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("2.5", "3.5 pages");
    Download();

    EXPECT_EQ(FromText(), "2");
    EXPECT_EQ(ToText(), "4");
    const std::string fla = std::string(kBase) + "_0002-0004.fla";
    EXPECT_EQ(SavedFiles(), Names({fla}));
    EXPECT_EQ(FileBytes(fla), FlashPages(2, 4));
}

TEST_F(DownloadFlow, OnePageRangeAndTheFirstPage)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("0", "0");
    Download();

    const std::string fla = std::string(kBase) + "_0000-0000.fla";
    EXPECT_EQ(SavedFiles(), Names({fla}));
    EXPECT_EQ(FileBytes(fla), FlashPages(0, 0));
    EXPECT_EQ(LastProgress(), 100);
}

TEST_F(DownloadFlow, RangeChecksListEveryFailureInOrderAndNothingIsRead)
{
    Start();
    Tick("chkEE2Down", false);
    struct Case {
        const char* from;
        const char* to;
        std::string messages;
        const char* fromAfter;
        const char* toAfter;
    };
    const Case cases[] = {
        {"10", "5", "\r\n <From> must be <To>", "10", "5"},
        {"-1", "3000", "\r\n <From> must be >0\r\n <To> must be <2047", "-1", "3000"},
        {"2048", "2048", "\r\n <From> must be <2047\r\n <To> must be <2047", "2048", "2048"},
        {"7", "-2", "\r\n <To> must be >0\r\n <From> must be <To>", "7", "-2"},
        {"x", "-0.6", "\r\n <To> must be >0\r\n <From> must be <To>", "0", "-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " to " + c.to);
        Pages(c.from, c.to);
        Download();
        EXPECT_EQ(Log(), std::string(kIdLine) + "Download  FLASH 8M ..." + c.messages + "\r\n Aborted ... ");
        EXPECT_EQ(FromText(), c.fromAfter);
        EXPECT_EQ(ToText(), c.toAfter);
        EXPECT_TRUE(rig.dialogs.messages.empty());
        ExpectIdle();
    }
    EXPECT_TRUE(SavedFiles().empty());
    EXPECT_TRUE(FlashReads().empty());
}

// ------------------------------------------------------------------ "Flash #MIS only"

struct RecordCountCase {
    const char* device;
    int count;
    unsigned parameter;
    int lastPage;
};

void PrintTo(const RecordCountCase& c, std::ostream* out)
{
    *out << c.device << " count " << c.count;
}

class DownloadByRecordCount : public DownloadFlow, public ::testing::WithParamInterface<RecordCountCase> {};

TEST_P(DownloadByRecordCount, PagesFollowTheStoredRecordCount)
{
    const RecordCountCase& c = GetParam();
    rig.instrument.SetIdentity({c.device, "00001234", "1.051.02  0314"});
    rig.instrument.SetRecordCount(c.count);
    Start();
    Tick("chkDownALLdata", true);
    Download();

    const std::string base = std::string(c.device) + "_00001234_fwV1.05_260101000000";
    const std::string range = "_0000-" + ZeroPadded(c.lastPage, 4) + ".fla";
    EXPECT_EQ(SavedFiles(), Names({base + ".epr", base + range}));
    EXPECT_EQ(FileBytes(base + ".epr"), rig.instrument.Eeprom());
    EXPECT_EQ(FileBytes(base + range), FlashPages(0, c.lastPage));
    EXPECT_EQ(FromText(), "0");
    EXPECT_EQ(ToText(), std::to_string(c.lastPage));

    const std::string id = std::string(c.device) + "  SN: 00001234\r\n";
    EXPECT_EQ(Log(), id + "Download Eeprom  ...  OK\r\n " + Upper(base) + ".EPR\r\n\r\n" +
                         "Download  FLASH 8M ...  #mis: " + std::to_string(c.count) + "  OK\r\n " + Upper(base + range));
    ASSERT_GE(rig.instrument.Requests().size(), 2u);
    EXPECT_EQ(rig.instrument.Requests()[1][0], 'l');
    EXPECT_EQ(*SimInstrument::RequestTarget(rig.instrument.Requests()[1]), c.parameter);
    EXPECT_EQ(LastProgress(), 100) << "a download from page 0 fills the bar";
    ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(Devices, DownloadByRecordCount,
                         ::testing::Values(RecordCountCase{"VRTA708", 57, 146, 51},
                                           RecordCountCase{"VRTA708", 58, 146, 51},
                                           RecordCountCase{"VRTA708", 0, 146, 22},
                                           RecordCountCase{"QS408t", 1, 26, 23},
                                           RecordCountCase{"QSVRFMAX", 100, 26, 72}));

TEST_F(DownloadFlow, RecordCountOfAnUnknownDeviceFailsTheRangeCheck)
{
    rig.instrument.SetIdentity({"XK-1", "00000077", "2.101.02  0314"});
    Start();
    Tick("chkDownALLdata", true);
    Download();

    const std::string base = "XK-1_00000077_fwV2.10_260101000000";
    EXPECT_EQ(SavedFiles(), Names({base + ".epr"})) << "no flash image";
    EXPECT_EQ(Log(), "XK-1  SN: 00000077\r\nDownload Eeprom  ...  OK\r\n " + Upper(base) + ".EPR\r\n\r\n" +
                         "Download  FLASH 8M ...  #mis: 9999\r\n <To> must be <2047\r\n Aborted ... ");
    EXPECT_EQ(ToText(), "5022");
    EXPECT_EQ(Commands(), "I ex20") << "no count is asked of an unknown device";
    ExpectIdle();
}

// ------------------------------------------------------------------------- file names

TEST_F(DownloadFlow, SecondDownloadInTheSameSecondTakesTheNextSecondsName)
{
    Start();
    Pages("3", "5");
    Download();
    const std::string fla = std::string(kBase) + "_0003-0005.fla";
    ASSERT_EQ(SavedFiles(), Names({kEpr, fla}));
    const Bytes firstFlash = FileBytes(fla);

    // The flash changes, and the same range is saved again at once.
    rig.instrument.WriteFlash(3 * 4096, Bytes(4096, 0x5A));
    const double secondStart = rig.host.Now();
    ASSERT_LT(secondStart, kStartS + 0.75) << "the second download must start within the same second";
    Tick("chkEE2Down", false);
    Download();

    // It was offered the same name, then waited for the next second.
    ASSERT_EQ(rig.dialogs.fileRequests.size(), 2u);
    EXPECT_EQ(rig.dialogs.fileRequests[1].suggestedName, rig.dialogs.fileRequests[0].suggestedName);
    const std::string second = "VRTA708_00001234_fwV1.05_260101000001_0003-0005.fla";
    EXPECT_EQ(SavedFiles(), Names({kEpr, fla, second}));
    EXPECT_EQ(FileBytes(fla), firstFlash) << "the first image was overwritten";
    EXPECT_EQ(FileBytes(second), FlashPages(3, 5));
    EXPECT_EQ(Log(), std::string(kIdLine) + "Download  FLASH 8M ...  OK\r\n " + Upper(second));
    EXPECT_TRUE(rig.dialogs.messages.empty());
    ExpectIdle();
}

TEST_F(DownloadFlow, AnImageOfTheOtherKindAlsoHoldsTheName)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("3", "3");
    Download();
    ASSERT_EQ(SavedFiles(), Names({std::string(kBase) + "_0003-0003.fla"}));

    // Only the EEPROM now: its name is free, but the flash image of that name would then belong
    // to it when it is written back.
    Tick("chkEE2Down", true);
    Tick("chkFlashDown", false);
    Download();
    EXPECT_EQ(SavedFiles(), Names({"VRTA708_00001234_fwV1.05_260101000000_0003-0003.fla",
                                   "VRTA708_00001234_fwV1.05_260101000001.epr"}));
}
