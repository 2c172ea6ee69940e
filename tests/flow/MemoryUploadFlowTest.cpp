// Upload of the Down mem tab when the images are sound: what reaches the instrument's memories,
// what the log shows and what the technician is asked.
#include <gtest/gtest.h>

#include <QDir>

#include <algorithm>
#include <string>
#include <vector>

#include "DownloadRig.h"

namespace {

const char* kQs = "QS408t_77_fwV2.00_250101000000";

}  // namespace

// Nothing is written; the window comes back whatever the way out. A file that cannot be opened is
// told in a box.
TEST_F(MemoryUploadFlow, RunsThatEndBeforeAnythingIsWritten)
{
    Start();
    const std::string lonely = Image("Lonely_1_fwV1_250101000000.epr", Pattern(2000, 2));
    Image("Lonely_1_fwV1_250101000001_0000-0001.fla", FlashImage(2));
    const std::string good = Image("Good_1_fwV1_250101000000.epr", Pattern(2000, 3));
    QDir(imageFolder.path()).mkdir("Dir_0000-0001.fla");
    const char* both = "File EE2 (*.epr)| *.epr|File flash (*.fla)| *.fla";
    const char* eepromOnly = "File EE2 (*.epr)| *.epr|";
    const struct {
        const char* story;
        bool eeprom, flash;
        std::vector<MsgAnswer> answers;
        std::optional<std::string> path;
        std::optional<SimFaultRule> fault;
        std::string log;
        const char* filter;  // nullptr: no file dialog
        const char* commands;
        Names titles = {"Warning"};
        std::string box = "";  // the text of the last box, a critical one
    } cases[] = {
        {"confirmation answered No", true, true, {MsgAnswer::No}, good, {}, "", nullptr, ""},
        {"neither box ticked", false, false, {}, good, {}, "", nullptr, ""},
        {"file choice cancelled", true, true, {}, std::nullopt, {}, "", both, ""},
        {"a name without folder", true, false, {}, "Good_1_fwV1_250101000000.epr", {}, "Aborted !", eepromOnly, ""},
        {"no flash image beside the .epr", true, true, {}, lonely, {}, "", both, ""},
        {"no instrument", true, false, {}, good, SimFaultRule::Any(SimFault::Silence),
         " Serial error !!\r\n  Check connection.", eepromOnly, "I"},
        {"EEPROM image missing", true, false, {}, imageFolder.filePath("Gone_1.epr").toStdString(), {}, "", eepromOnly, "I",
         {"Warning", "Routine <cmdFlash>"}, "Error :2\r\nNo such file or directory"},
        {"flash image is a folder", false, true, {}, imageFolder.filePath("Dir_0000-0001.fla").toStdString(), {}, "",
         "File flash (*.fla)| *.fla", "I", {"Warning", "PAGE NUMBER WARNING", "Routine <cmdFlash>"}, "Error :21\r\nIs a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        NextUpload();
        Tick("chkEE2Down", c.eeprom);
        Tick("chkFlashDown", c.flash);
        if (c.fault)
            rig.instrument.AddFault(*c.fault);
        Upload(c.path, c.answers);
        EXPECT_EQ(Log(), c.log);
        ASSERT_EQ(rig.dialogs.fileRequests.size(), c.filter ? 1u : 0u);
        if (c.filter) {
            EXPECT_EQ(rig.dialogs.fileRequests[0].filter, c.filter);
            EXPECT_EQ(rig.dialogs.fileRequests[0].folder, rig.folder.path().toStdString());
            EXPECT_EQ(rig.dialogs.fileRequests[0].suggestedName, "");
        }
        EXPECT_EQ(Commands(), c.commands);
        EXPECT_TRUE(rig.instrument.MemoryWrites().empty());
        EXPECT_EQ(Titles(), c.titles);
        if (!c.box.empty()) {
            EXPECT_EQ(rig.dialogs.messages.back().icon, MsgIcon::Critical);
            EXPECT_EQ(rig.dialogs.messages.back().text, c.box);
        }
        ExpectIdle();
    }
}

// Count only: two bytes at the address of the device's stored-record count, from the same
// offset of the image; the file must hold them.
TEST_F(MemoryUploadFlow, CountOnlyWritesTheTwoBytesOfTheDevicesRecordCount)
{
    Start();
    Tick("chkFlashDown", false);
    Tick("chkDownE2WriteNumRec", true);
    const auto image = [](std::size_t size, std::size_t at, std::uint8_t low, std::uint8_t high) {
        Bytes bytes = Pattern(size, 4);
        if (at + 1 < size) {
            bytes[at] = low;
            bytes[at + 1] = high;
        }
        return bytes;
    };
    const struct {
        std::string name;
        Bytes bytes;
        int address;  // -1: refused
        std::string log;
    } cases[] = {
        {std::string(kQs) + ".epr", image(2000, 154, 0x2C, 0x01), 154, " Wrote at Addr(0154) = 300  (par_26)  OK\r\n\r\n"},
        {"QSLUM_2.epr", image(156, 154, 0x05, 0x00), 154, " Wrote at Addr(0154) = 5  (par_26)  OK\r\n\r\n"},
        {"QSLUM_3.epr", image(155, 154, 0x05, 0x00), -1, "EPR file too short (155 bytes) for Addr(0154)\r\n Aborted ... "},
        {"GRP4917_4.epr", image(273, 272, 0x01, 0x00), -1, "EPR file too short (273 bytes) for Addr(0272)\r\n Aborted ... "},
        {"GRP4917_5.epr", image(274, 272, 0xFF, 0xFF), 272, " Wrote at Addr(0272) = 65535  (par_146)  OK\r\n\r\n"},
        {"QSVRFMAX_1_fwV1_250101000000.epr", image(2000, 154, 1, 1), -1, "QSVRFMAX Device name NOT match list .."},
        {"qs408t_1.epr", image(2000, 154, 1, 1), -1, "qs408t Device name NOT match list .."},
        {"QS408t.epr", image(2000, 154, 1, 1), -1, "NO <_> character in the file name ..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NextUpload();
        const Bytes before = rig.instrument.Eeprom();
        Upload(Image(c.name, c.bytes));

        Bytes expected = before;
        if (c.address >= 0) {
            std::copy_n(c.bytes.begin() + c.address, 2, expected.begin() + c.address);
            EXPECT_EQ(rig.instrument.MemoryWrites(),
                      (std::vector<SimMemoryWrite>{{SimMemoryWrite::Memory::Eeprom, static_cast<std::uint32_t>(c.address), 2}}));
        }
        EXPECT_EQ(Commands(), c.address >= 0 ? "I e r" : "I");
        EXPECT_EQ(Log(), c.name + "\r\n  Upload Eeprom  ...\r\n" + c.log);
        EXPECT_EQ(rig.instrument.Eeprom(), expected);
        EXPECT_TRUE(progress.empty());
        ExpectIdle();
    }
}

TEST_F(MemoryUploadFlow, ClearAllWritesFfIntoEveryAddressAndNoFileIsAskedFor)
{
    Start();
    Tick("chkDownEE2clearAll", true);
    Upload(std::nullopt);

    EXPECT_EQ(rig.instrument.Eeprom(), Bytes(2000, 0xFF));
    EXPECT_EQ(Commands(), "I ex500") << "no commit";
    ASSERT_EQ(rig.instrument.MemoryWrites().size(), 500u);
    EXPECT_EQ(rig.instrument.MemoryWrites().back(), (SimMemoryWrite{SimMemoryWrite::Memory::Eeprom, 1996, 4}));
    EXPECT_EQ(Log(), " CLEAR Eeprom  ...  OK: cleared ALL to 0xFF");
    const std::string addresses = Trail("  Addr: ");
    EXPECT_TRUE(addresses.starts_with("0000/1999, 0004/1999, ") && addresses.ends_with(", 1996/1999")) << addresses;
    EXPECT_TRUE(rig.dialogs.fileRequests.empty());
    EXPECT_FALSE(rig.Control<QCheckBox>("chkEE2Down").isChecked()) << "EEprom is unticked";
    EXPECT_EQ(Titles(), Names{"Warning"});
    ExpectIdle();
}

// A flash image of pages 5 to 27 (23 pages) against other page fields: Yes takes the file's
// range, No the fields' (skipping file pages when the fields start later), Cancel nothing.
TEST_F(MemoryUploadFlow, ThePageNumberQuestionDecidesWhereTheFilesPagesGo)
{
    Start();
    Tick("chkEE2Down", false);
    const std::string name = std::string(kQs) + "_0005-0027.fla";
    const Bytes file = FlashImage(23);
    const std::string path = Image(name, file);
    const std::string head = FlashHead(name);
    const struct {
        const char* from;
        const char* to;
        std::optional<MsgAnswer> answer;  // nothing: no question
        const char* asked;                // the fields as the question shows them
        int first, last, filePage;        // pages first..last from file page filePage (5..27); first < 0: none
        std::string log;
        const char* fields;
    } cases[] = {
        {"0", "2047", MsgAnswer::Yes, "0000-2047", 5, 27, 5, FlashDone(name, "5-27"), "5-27"},
        {"0", "22", MsgAnswer::No, "0000-0022", 0, 22, 5, FlashDone(name, "0-22"), "0-22"},
        {"10", "27", MsgAnswer::No, "0010-0027", 10, 27, 10, FlashDone(name, "10-27"), "10-27"},
        {"27", "27", MsgAnswer::No, "0027-0027", 27, 27, 27, FlashDone(name, "27-27"), "27-27"},
        {"5.4", "27", std::nullopt, "", 5, 27, 5, FlashDone(name, "5-27"), "5.4-27"},  // read as 5: no question
        {"0", "2047", MsgAnswer::No, "0000-2047", -1, 0, 0,
         head + "\r\nDimensione file: 94208\r\nPages 0-2047 need 8388608 bytes", "0-2047"},
        {"0", "2047", MsgAnswer::Cancel, "0000-2047", -1, 0, 0, head, "0-2047"},
        {"30", "40", MsgAnswer::No, "0030-0040", -1, 0, 0,
         head + "\r\nDimensione file: 94208\r\n(textbox - numfile)*4096: 30-5*4096 =102400", "30-40"},
        {"28", "28", MsgAnswer::No, "0028-0028", -1, 0, 0,
         head + "\r\nDimensione file: 94208\r\nPages 28-28 need 98304 bytes", "28-28"},
        {"-1", "3", MsgAnswer::No, "-0001-0003", -1, 0, 0, head + "\r\n <From> must be >0", "-1-3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " to " + c.to);
        NextUpload();
        Pages(c.from, c.to);
        std::vector<MsgAnswer> answers{MsgAnswer::Yes};
        if (c.answer)
            answers.push_back(*c.answer);
        Upload(path, answers);

        if (c.answer) {
            ASSERT_EQ(Titles(), (Names{"Warning", "PAGE NUMBER WARNING"}));
            EXPECT_EQ(rig.dialogs.messages[1].icon, MsgIcon::Information);
            EXPECT_EQ(rig.dialogs.messages[1].text, "<file>    page numbers 0005-0027are different from \r\n"
                                                    "<textbox> page numbers " + std::string(c.asked) +
                                                    "\r\n\r\n  YES --> use <file>    page numbers\r\n"
                                                    "  NO  --> use <textbox> page numbers");
        } else {
            EXPECT_EQ(Titles(), Names{"Warning"});
        }
        if (c.first >= 0) {
            EXPECT_EQ(Log(), c.log);
            const auto from = file.begin() + (c.filePage - 5) * static_cast<std::ptrdiff_t>(kPage);
            EXPECT_EQ(FlashPages(c.first, c.last), Bytes(from, from + (c.last - c.first + 1) * static_cast<std::ptrdiff_t>(kPage)));
            std::string span;  // and no other page
            for (int page = c.first; page <= c.last; ++page)
                span += (page == c.first ? "" : " ") + std::to_string(page);
            EXPECT_EQ(PagesWritten(), span);
        } else {
            EXPECT_EQ(Log(), c.log + "\r\n Process ABORTED\r\n");
            EXPECT_EQ(Commands(), "I");
            EXPECT_TRUE(rig.instrument.MemoryWrites().empty());
        }
        EXPECT_EQ(Range(), c.fields);
        ExpectIdle();
    }
}

// The boxes and page fields as they are at the click decide the run; they stay usable while it
// goes on, and the success line names the pages written, not what the fields say at the end.
TEST_F(MemoryUploadFlow, TheRunIsWhatTheBoxesAndFieldsSaidAtTheClick)
{
    Start();
    Pages("5", "7");
    rig.When([&] { return rig.instrument.CountRequests('I') == 1; }, [&] { Tick("chkFlashDown", false); });
    Download();
    EXPECT_EQ(SavedFiles(), (Names{kEpr, Fla(kBase, 5, 7)}));
    EXPECT_EQ(FileBytes(Fla(kBase, 5, 7)), FlashPages(5, 7));

    Tick("chkEE2Down", false);
    Tick("chkFlashDown", true);
    const std::string name = std::string(kQs) + "_0005-0007.fla";
    const Bytes file = FlashImage(3, 21);
    const std::string path = Image(name, file);
    const struct {
        const char* from;
        const char* to;
    } typed[] = {{"100", "200"}, {"5", "6"}, {"", ""}, {"6", "7"}};
    for (const auto& t : typed) {
        SCOPED_TRACE(std::string(t.from) + "-" + t.to);
        NextUpload();
        Pages("5", "7");
        rig.When([&] { return rig.instrument.CountRequests('I') == 1; }, [&] { Tick("chkEE2Down", true); });
        rig.When([&] { return rig.instrument.CountRequests(0xE6) == 5; }, [&] { Pages(t.from, t.to); });
        Upload(path);
        EXPECT_EQ(Log(), FlashDone(name, "5-7"));
        EXPECT_EQ(FlashPages(5, 7), file);
        EXPECT_EQ(PagesWritten(), "5 6 7");
        EXPECT_EQ(EepromWrites(), 0u);
        ExpectIdle();
        Tick("chkEE2Down", false);
    }
}
