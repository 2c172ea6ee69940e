// DownloadMemory and UploadMemory against the simulated instrument, without a window: what the
// results carry (the images saved, the pages, what was written, why a run ended), the questions
// asked in order, and the one page-range check both share.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/ResultCodes.h"
#include "memory/MemoryDownload.h"
#include "memory/MemoryUpload.h"
#include "support/Files.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDialogs.h"
#include "support/SimTestHelpers.h"
#include "support/TempFolder.h"

using namespace simtest;

namespace {

const std::string kBase = "VRTA708_00001234_fwV1.05_260101000000";
const std::string kDownloadAborted = "\r\n Aborted ... ";
const std::string kUploadAborted = "\r\n Process ABORTED\r\n";

Bytes Pattern(std::size_t size, std::uint8_t seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 31 + (i >> 9) + seed);
    return bytes;
}

class MemoryOperations : public SimRigTest {
public:
    using SimRigTest::host;
    using SimRigTest::port;
    using SimRigTest::sim;

    void SetUp() override
    {
        ASSERT_TRUE(temp.ok());
        host.SetLocalStart({2026, 1, 1, 0, 0, 0});
        catalogue.LoadFamily("31400 QMX, VERTA");
        sim.SetRecordCount(57);
    }
    std::string Folder() const { return temp.Path(); }
    std::string Path(const std::string& name) const { return temp.Path(name); }

    // The write is confirmed, the file questions get `path` (nothing: cancelled), the page-number
    // and retry questions `reply`.
    void Reply(Answer::Reply reply, std::optional<std::string> path = std::nullopt)
    {
        sink.answer = [reply, path](const Question& question) -> Answer {
            if (std::holds_alternative<question::ConfirmWrite>(question))
                return Answer::Yes();
            if (std::holds_alternative<question::DownloadFolder>(question) ||
                std::holds_alternative<question::UploadImage>(question))
                return path ? Answer::Path(*path) : Answer::Cancel();
            return {reply, {}};
        };
    }

    DownloadResult Download(DownloadRequest request)
    {
        request.showPages = [this](const PageRange& pages) { shownPages.push_back(pages); };
        OperationContext context{link, sink, Folder()};
        return DownloadMemory(context, request);
    }
    MemoryUploadResult Upload(MemoryUploadRequest request)
    {
        request.showPages = [this](const PageRange& pages) { shownPages.push_back(pages); };
        OperationContext context{link, sink, Folder()};
        return UploadMemory(context, request);
    }
    // A fresh instrument, sink and folder; the clock a second on.
    void NextRun()
    {
        sim = SimInstrument();
        sim.SetRecordCount(57);
        sink = RecordingSink();
        shownPages.clear();
        std::filesystem::remove_all(FsPath(Folder()));
        std::filesystem::create_directory(FsPath(Folder()));
        host.RunUntil(host.Now() + 1.0);
    }
    std::size_t Asked() const { return sink.asked.size(); }

    TempFolder temp;
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    ParamCatalogue catalogue;
    RecordingSink sink;
    std::vector<PageRange> shownPages;
};

}  // namespace

// ------------------------------------------------------------------------------- download

// Why a download ended, and what it left: the log, and the reason it gives (the log where it says
// so, what came back where it says nothing, the box of a failure outside the instrument's answers).
// Without an identification or a stored-record count no folder is asked for; only a complete EEPROM
// image is ever saved, and no flash stage follows a failed EEPROM stage.
TEST_F(MemoryOperations, DownloadSaysWhyItEndedAndSavesNoImageUnfinished)
{
    const std::string id = "VRTA708  SN.00001234\r\n";
    const std::string eepromHead = "VRTA708  SN: 00001234\r\nDownload Eeprom  ...";
    // The block at 300 comes back one byte short, in a frame that is complete in itself.
    const Bytes shortBlock = Acked(Bytes(sim.Eeprom().begin() + 300, sim.Eeprom().begin() + 399));
    const auto fault = [](SimFaultRule rule) { return [rule](MemoryOperations& t) { t.sim.AddFault(rule); }; };
    const struct {
        const char* story;
        std::function<void(MemoryOperations&)> setUp;
        bool eeprom;
        int code;
        Interruption::Kind interruption;
        std::string reason;  // "<log>": the whole log
        std::string log;
        std::size_t requests, asked;
    } cases[] = {
        {"range refused", [](MemoryOperations&) {}, false, 1, Interruption::Kind::None, "<log>",
         "VRTA708  SN: 00001234\r\nDownload  FLASH 8M ...\r\n <From> must be <To>\r\n Aborted ... ", 2, 1},
        {"no instrument", fault(SimFaultRule::Any(SimFault::Silence)), true, code::kNoFrame, Interruption::Kind::None,
         " Serial error !!\r\n\r\n  Check connection.", " Serial error !!\r\n\r\n  Check connection.", 1, 0},
        {"count busy", fault(SimFaultRule::Command('l', SimFault::Busy)), true, code::kBusy, Interruption::Kind::None,
         "the instrument is busy (Rx: 06010532BE0A04)", id, 2, 0},
        {"count silent", fault(SimFaultRule::Command('l', SimFault::Silence)), true, code::kNoFrame, Interruption::Kind::None,
         "no complete answer (Serial error)", id, 2, 0},
        {"count not OK", fault(SimFaultRule::Command('l', SimFault::NotOk)), true, code::kNotOk, Interruption::Kind::None,
         "the instrument answered not OK (Rx: 06010531BF0A04)", id, 2, 0},
        // An answer that would read 0 records and save pages 0 to 22 only: not believed.
        {"count with a stray byte before its acknowledge", fault(SimFaultRule::Command('l', SimFault::GarbageBeforeAck).WithBytes({0x06})),
         true, code::kMalformed, Interruption::Kind::None, "Error (Rx: 06060107303537520A04)", id, 2, 0},
        {"folder cancelled", [](MemoryOperations& t) { t.Reply(Answer::Reply::Cancel); }, true, code::kRefused,
         Interruption::Kind::Declined, "", id, 2, 1},
        {"empty folder", [](MemoryOperations& t) { t.Reply(Answer::Reply::Yes, ""); }, true, code::kRefused,
         Interruption::Kind::Declined, "", id, 2, 1},
        {"EEPROM block one byte short", fault(SimFaultRule::EepromBlock(300, SimFault::Scripted).WithBytes(shortBlock)), true,
         code::kRefused, Interruption::Kind::None, "<log>",
         eepromHead + "\r\nAddr: 0300\r\n  Rx error at address: 300\r\n  Rx: " + BytesToHex(shortBlock) + "\r\n Aborted ... ", 6, 1},
        // Half of the answer, then nothing: no message text.
        {"EEPROM block half answered", fault(SimFaultRule::EepromBlock(1900, SimFault::Truncated)), true, code::kRefused,
         Interruption::Kind::None, "<log>", eepromHead + "\r\nAddr: 1900\r\n Aborted ... ", 22, 1},
        {"port missing", [](MemoryOperations& t) { t.port.SetExistingPorts({}); }, true, code::kPortMissing,
         Interruption::Kind::PortMissing, "Porta seriale non disponibile", "115200", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        NextRun();
        Reply(Answer::Reply::Yes, Path("chosen.dat"));
        c.setUp(*this);
        const DownloadResult result = Download({catalogue, c.eeprom, true, false, "10", "5"});
        EXPECT_EQ(NumberOf(result.code), c.code);
        EXPECT_EQ(result.interruption.kind, c.interruption);
        EXPECT_EQ(sink.Text(), c.log);
        EXPECT_EQ(result.reason, c.reason == "<log>" ? c.log : c.reason);
        EXPECT_EQ(sim.Requests().size(), c.requests);
        EXPECT_EQ(Asked(), c.asked);
        EXPECT_TRUE(result.files.empty());
        EXPECT_TRUE(FileNamesIn(Folder()).empty());
        if (c.interruption == Interruption::Kind::PortMissing) {
            ASSERT_EQ(sink.notices.size(), 1u);
            EXPECT_EQ(sink.notices[0].icon, MsgIcon::Critical);
            EXPECT_EQ(sink.notices[0].title, "Routine <cmdFlash>");
            EXPECT_EQ(sink.notices[0].text, c.reason);
        } else {
            EXPECT_TRUE(sink.notices.empty());
        }
        EXPECT_FALSE(port.IsOpen());
    }
}

// Each failed attempt moves the bar too, but it stops at 100.
TEST_F(MemoryOperations, ProgressCountsFailedAttemptsButNeverPasses100)
{
    Reply(Answer::Reply::Yes, Path("chosen.dat"));
    sim.AddFault(SimFaultRule::FlashPage(0, SimFault::Nak).Times(2));
    const DownloadResult result = Download({catalogue, false, true, false, "0", "1"});
    ASSERT_TRUE(result.ok()) << sink.Text();
    // Steps of 50: two failures and two pages would make 200.
    EXPECT_EQ(sink.progress, (std::vector<int>{0, 50, 100, 100, 100}));
    EXPECT_EQ(ReadFileBytes(result.files[0]), sim.ReadFlash(0, 2 * 4096));
}

// --------------------------------------------------------------------------------- upload

// Eleven failures in a row on page 6: Retry declined ends the stage with code 7.
TEST_F(MemoryOperations, DecliningTheRetryEndsTheFlashStage)
{
    const std::string fla = WriteFileBytes(Path("Q_1_fwV1_250101000000_0005-0007.fla"), Pattern(3 * 4096, 4));
    sim.AddFault(SimFaultRule::FlashPage(6, SimFault::Busy));
    Reply(Answer::Reply::No, fla);
    const MemoryUploadResult result = Upload({false, true, false, false, "5", "7"});
    EXPECT_EQ(result.code, ResultCode::Malformed);
    EXPECT_EQ(result.interruption.kind, Interruption::Kind::Declined);
    EXPECT_EQ(result.pagesWritten, 1);
    ASSERT_GT(Asked(), 0u);
    const auto* retry = std::get_if<question::Retry>(&sink.asked.back());
    ASSERT_NE(retry, nullptr);
    EXPECT_EQ(retry->page, 6);
    EXPECT_EQ(sim.CountRequests(0xE6), 4u + 11u);
}

// ------------------------------------------------------------------------ folders and names

// A folder named in the technician's language: the images are saved there under the tool's names,
// and written back from there into another instrument, the flash image found beside the EEPROM
// image. Images saved on Windows often have upper-case extensions: an ".EPR" is written as an
// EEPROM image, and its flash image is found whatever the case of either extension.
TEST_F(MemoryOperations, ImagesGoIntoAndComeBackFromAFolderNamedWithAccentedLetters)
{
    const std::string folder = Path("Misure Societ\xC3\xA0 n\xC2\xB0 3");
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(folder)));
    Reply(Answer::Reply::Yes, folder + "/chosen.dat");
    const DownloadResult saved = Download({catalogue, true, true, false, "3", "5"});
    ASSERT_TRUE(saved.ok()) << sink.Text();
    const std::string epr = folder + "/" + kBase + ".epr";
    const std::string fla = folder + "/" + kBase + "_0003-0005.fla";
    EXPECT_EQ(saved.files, (std::vector<std::string>{epr, fla}));
    const Bytes eeprom = sim.Eeprom();
    const Bytes flash = sim.ReadFlash(3 * 4096, 3 * 4096);
    EXPECT_EQ(ReadFileBytes(epr), eeprom);
    EXPECT_EQ(ReadFileBytes(fla), flash);

    const std::string upper = folder + "/VRTA708_9_FWV1.05_250101000000";
    const struct {
        std::string epr, fla;
    } cases[] = {
        {epr, fla},
        {upper + ".EPR", upper + "_0003-0005.FLA"},
        {upper + ".Epr", folder + "/vrta708_9_fwv1.05_250101000000_0003-0005.fla"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.epr);
        sim = SimInstrument();
        sink = RecordingSink();
        if (c.epr != epr) {
            std::filesystem::remove(FsPath(upper + ".EPR"));
            std::filesystem::remove(FsPath(upper + "_0003-0005.FLA"));
            WriteFileBytes(c.epr, eeprom);
            WriteFileBytes(c.fla, flash);
        }
        Reply(Answer::Reply::Yes, c.epr);
        const MemoryUploadResult written = Upload({true, true, false, false, "0", "2047"});
        ASSERT_TRUE(written.ok()) << sink.Text();
        EXPECT_EQ(written.flashImage, c.fla);
        EXPECT_EQ(sim.Eeprom(), eeprom);
        EXPECT_EQ(sim.ReadFlash(3 * 4096, 3 * 4096), flash);
    }
}

// ----------------------------------------------------------------------------- page ranges

// Download and upload refuse a range with the same lines, and take the flash's first and last page.
TEST_F(MemoryOperations, DownloadAndUploadCheckAPageRangeAlike)
{
    const struct {
        const char* from;
        const char* to;
        std::string errors;  // empty: taken
    } cases[] = {
        {"0", "0", ""},
        {"2047", "2047", ""},
        {"-1", "0", "\r\n <From> must be >0"},
        {"2048", "2048", "\r\n <From> must be <2047\r\n <To> must be <2047"},
        {"5", "4", "\r\n <From> must be <To>"},
        {"x", "-0.6", "\r\n <To> must be >0\r\n <From> must be <To>"},  // 0 and -1
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + "-" + c.to);
        NextRun();
        Reply(Answer::Reply::Yes, Path("chosen.dat"));
        const DownloadResult download = Download({catalogue, false, true, false, c.from, c.to});
        EXPECT_EQ(download.ok(), c.errors.empty()) << sink.Text();
        if (!c.errors.empty()) {
            EXPECT_TRUE(sink.Text().ends_with("Download  FLASH 8M ..." + c.errors + kDownloadAborted)) << sink.Text();
        }

        NextRun();
        // A refused range comes from an image named otherwise, with No to the page-number question.
        const std::string pages = c.errors.empty() ? ZeroPadded(std::stoi(c.from), 4) + "-" + ZeroPadded(std::stoi(c.to), 4)
                                                   : std::string("0100-0100");
        const std::string fla = WriteFileBytes(Path("Q_1_fwV1_250101000000_" + pages + ".fla"), Pattern(4096, 5));
        Reply(Answer::Reply::No, fla);
        const MemoryUploadResult upload = Upload({false, true, false, false, c.from, c.to});
        if (c.errors.empty()) {
            EXPECT_TRUE(upload.ok()) << sink.Text();
            EXPECT_EQ(upload.pages, (PageRange{std::stoi(c.from), std::stoi(c.to)}));
        } else {
            EXPECT_EQ(upload.code, ResultCode::Refused);
            EXPECT_TRUE(sink.Text().ends_with("  Upload FLASH  ...\r\n" + c.errors + kUploadAborted)) << sink.Text();
            EXPECT_TRUE(sim.MemoryWrites().empty());
        }
    }
}
