// A download whose disk gives out: a file size limit (RLIMIT_FSIZE, so writes past it fail with
// "File too large") stands for a full disk. The images left behind are whole or absent.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "core/ResultCodes.h"
#include "memory/MemoryDownload.h"
#include "support/FileSizeLimit.h"
#include "support/Files.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDialogs.h"
#include "support/SimTestHelpers.h"

using namespace simtest;
namespace fs = std::filesystem;

namespace {

class MemoryDownloadDisk : public SimRigTest {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("download-disk-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        host.SetLocalStart({2026, 1, 1, 0, 0, 0});
    }
    void TearDown() override { fs::remove_all(folder); }

    // Runs a whole download of pages 3 to 6 into the folder with files limited to `limit` bytes.
    int Download(rlim_t limit)
    {
        sink = RecordingSink();
        const std::string chosen = (folder / "whatever.dat").string();
        sink.answer = [chosen](const Question&) { return Answer::Path(chosen); };
        FileSizeLimit guard(limit);
        EXPECT_TRUE(guard.ok());
        OperationContext context{link, sink, folder.string()};
        result = DownloadMemory(context, {catalogue, eeprom, true, false, "3", "6"});
        return NumberOf(result.code);
    }
    std::vector<std::string> Files() const { return FileNamesIn(folder.string()); }
    Bytes Content(const std::string& name) const { return ReadFileBytes((folder / name).string()); }

    fs::path folder;
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    ParamCatalogue catalogue;
    RecordingSink sink;
    bool eeprom = true;
    DownloadResult result;
};

// The box of a file that could not be written: "Error :27" and the system's text.
void ExpectFileTooLarge(const DownloadResult& result, const RecordingSink& sink)
{
    EXPECT_EQ(result.interruption.kind, Interruption::Kind::SystemError);
    EXPECT_EQ(result.interruption.number, EFBIG);
    ASSERT_EQ(sink.notices.size(), 1u);
    EXPECT_EQ(sink.notices[0].title, "Routine <cmdFlash>");
    EXPECT_EQ(sink.notices[0].text, "Error :" + std::to_string(EFBIG) + "\r\n" + std::strerror(EFBIG));
    EXPECT_EQ(result.reason, sink.notices[0].text);
}


}  // namespace

TEST_F(MemoryDownloadDisk, EepromImageThatCannotBeWrittenLeavesNoFile)
{
    EXPECT_EQ(Download(1999), code::kRefused);
    EXPECT_TRUE(Files().empty()) << "neither the image nor the file it grew in";
    ExpectFileTooLarge(result, sink);
    EXPECT_TRUE(result.files.empty());
    EXPECT_EQ(sim.CountRequests(0xE5), 0u) << "no flash stage after the EEPROM stage failed";

    // One byte more and it fits.
    sim.ClearRecord();
    host.RunUntil(host.Now() + 1.0);
    EXPECT_EQ(Download(2000 + 4 * 4096), code::kOk);
    EXPECT_EQ(Content("VRTA708_00001234_fwV1.05_260101000001.epr"), sim.Eeprom());
}

// The disk fills in the middle of a page: the flash image is cut back to its whole pages, and the
// log names it with the number of pages it holds.
TEST_F(MemoryDownloadDisk, FlashImageThatFillsTheDiskMidPageKeepsItsWholePages)
{
    eeprom = false;
    for (const rlim_t limit : {2 * 4096 + 1000, 2 * 4096, 0}) {
        SCOPED_TRACE(limit);
        fs::remove_all(folder);
        fs::create_directories(folder);
        EXPECT_EQ(Download(limit), code::kRefused);
        ASSERT_EQ(Files().size(), 1u);
        const std::string fla = Files()[0];
        EXPECT_TRUE(fla.ends_with("_0003-0006.fla")) << fla;
        const auto pages = limit / 4096;
        EXPECT_EQ(Content(fla), sim.ReadFlash(3 * 4096, pages * 4096));
        ExpectFileTooLarge(result, sink);
        EXPECT_EQ(result.files, std::vector<std::string>{(folder / fla).string()});
        EXPECT_EQ(result.pagesSaved, static_cast<int>(pages));
        EXPECT_TRUE(sink.Text().ends_with("\r\n Aborted ... \r\n Kept: " + ToUpperAscii(fla) + "  (" + std::to_string(pages) +
                                          " whole pages)"))
            << sink.Text();
        host.RunUntil(host.Now() + 0.5);
    }
}
