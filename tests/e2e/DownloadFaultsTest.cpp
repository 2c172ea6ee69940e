// Whole downloads through the real serial path (QSerialPort, Qt's event loop, a pseudo-terminal)
// against the simulator program misbehaving on the line: the image on disk equals the instrument's
// memory.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/ResultCodes.h"
#include "memory/MemoryDownload.h"
#include "sim/SimInstrument.h"
#include "support/Files.h"
#include "support/RealPath.h"
#include "support/RecordingSink.h"
#include "support/SimProgram.h"

namespace fs = std::filesystem;

namespace {

Bytes FlashPattern(int firstPage, int pages)
{
    Bytes bytes;
    for (std::uint32_t a = firstPage * 4096u; a < (firstPage + pages) * 4096u; ++a)
        bytes.push_back(SimInstrument::FlashPattern(a));
    return bytes;
}

struct Outcome {
    int code = -1;
    std::string log;
    std::vector<std::string> messages;
    Bytes image;  // of the only .fla
    std::size_t files = 0;
};

// Pages 3 to 6 of the simulator program with `fault`.
Outcome Download(const std::string& fault)
{
    Outcome out;
    SimProgram sim({"--fault", fault});
    EXPECT_TRUE(sim.ok()) << sim.error();
    if (!sim.ok())
        return out;
    const fs::path folder = fs::path(sim.link()).parent_path() / "images";
    fs::create_directories(folder);
    RealPath path(sim.link());
    RecordingSink sink;
    const std::string chosen = (folder / "x.dat").string();
    sink.answer = [chosen](const Question&) { return Answer::Path(chosen); };
    ParamCatalogue catalogue;
    OperationContext context{path.link, sink, folder.string()};
    out.code = NumberOf(DownloadMemory(context, {catalogue, false, true, false, "3", "6"}).code);
    out.log = sink.Text();
    for (const auto& shown : path.dialogs.messages)
        out.messages.push_back(shown.title);
    for (const Notice& notice : sink.notices)
        out.messages.push_back(notice.text.substr(0, notice.text.find('\r')));
    for (const std::string& name : FileNamesIn(folder.string())) {
        ++out.files;
        out.image = ReadFileBytes((folder / name).string());
    }
    return out;
}

}  // namespace

TEST(DownloadThroughARealPort, LineFaultsNeverReachTheImage)
{
    const struct {
        const char* fault;
        std::vector<std::string> messages;
    } cases[] = {
        {"garbage,cmd=0xE5,target=0x3400,times=1", {}},            // stray bytes before the ACK
        {"truncated,cmd=0xE5,target=0x4800,times=2", {}},          // half an answer, twice
        {"overlong,cmd=0xE5,target=0x5C00,times=1", {"Errore Rx dato (OnComm)"}},  // 5100 bytes
        {"overlong,cmd=0xE5,target=0x5C00,times=1,length=1040", {}},  // whole frame, data first
        {"slow,delay=0.5,page=4,times=4", {}},                     // late on four blocks in a row
        {"slowframe,delay=1.3,page=5,times=2", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        const Outcome out = Download(c.fault);
        EXPECT_EQ(out.code, code::kOk) << out.log;
        EXPECT_EQ(out.files, 1u);
        EXPECT_TRUE(out.image == FlashPattern(3, 4)) << "the image differs from the flash";
        EXPECT_EQ(out.messages, c.messages);
    }
}
