// servicetool-cli's flash in virtual time against the simulated boards: the exit status names the
// step a run stopped at, standard error ends with the Upload log's own words for it, and --json
// counts the boards and pages programmed. (Through a real port: CliProgram.FlashesOneBoardOrBothBoardsOfAPackage.)
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "cli/CliCommands.h"
#include "cli/CliJson.h"
#include "cli/CliLog.h"
#include "cli/CliOptions.h"
#include "firmware/BootClient.h"
#include "sim/SimBoards.h"
#include "sim/SimPort.h"
#include "sim/VirtualHost.h"
#include "support/CliRig.h"
#include "support/Files.h"
#include "support/ScriptedDialogs.h"
#include "support/SimTestHelpers.h"

namespace {

Bytes Image(std::size_t size, unsigned seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 41 + seed * 7 + (i >> 8)) & 0xFF);
    return bytes;
}

// The command line tool on COM1 of the simulated boards, the CPU board started in its bootloader
// unless the keys were not held, a folder with a single-board image (3 pages) and a package (3 and 6 pages).
struct CliFlash : CliRig {
    bool keysHeld = true;  // the CPU board is started in its bootloader

    CliFlash()
    {
        beforeRun = [this] {
            if (keysHeld)
                boards.StartCpuInBootloader();
        };
        File("31400_V2.bin", Image(700, 1));
        File("27520_CPU_V1.bin", Image(700, 2));
        File("27520_MIS_V1.bin", Image(1400, 3));
        File("27520_Pack.pkg", simtest::Text("27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n"));
    }
};

SimBootFault Refused(std::uint8_t command, SimBootStep step)
{
    return SimBootFault{false, command, step, std::nullopt, 0, 1, 0, 0};
}

}  // namespace

TEST(CliFlashSteps, EachFailingStepHasItsExitStatusAndItsOwnWords)
{
    const auto image = [](CliFlash& cli) { return std::vector<std::string>{"flash", cli.Path("31400_V2.bin"), "--target", "VERTA708"}; };
    const auto package = [](CliFlash& cli) { return std::vector<std::string>{"flash", "--package", cli.Path("27520_Pack.pkg")}; };
    const auto verified = [](CliFlash& cli) {
        return std::vector<std::string>{"flash", cli.Path("31400_V2.bin"), "--target", "VERTA708", "--verify"};
    };
    const auto nothing = [](CliFlash&) {};
    const struct {
        const char* story;
        std::function<std::vector<std::string>(CliFlash&)> words;
        std::function<void(CliFlash&)> setUp;
        int status;
        std::string said;  // on standard error
        const char* counted;  // in the JSON object
    } cases[] = {
        {"one board", image, nothing, 0, "Upload completed succefully ", "\"boards\":1,\"pages\":3"},
        {"one board without a target: any name", [](CliFlash& cli) {
             return std::vector<std::string>{"flash", cli.File("image.bin", Image(300, 4))}; },
         nothing, 0, "Upload completed succefully ", "\"boards\":1,\"pages\":2"},
        {"both boards of a package", package, nothing, 0, " >> Upload Success ", "\"boards\":2,\"pages\":9"},
        {"one board read back", verified, nothing, 0, " Verify      : OK\n Run command ", "\"boards\":1,\"pages\":3"},
        {"an image the target does not take", [](CliFlash& cli) {
             return std::vector<std::string>{"flash", cli.Path("27520_CPU_V1.bin"), "--target", "VERTA708"}; },
         nothing, 31, " Upload not started: VERTA708 takes a file *31400_*.bin, not 27520_CPU_V1.bin\n",
         "\"boards\":0,\"pages\":0"},
        {"a package not named as the package target's dialog offers it", [](CliFlash& cli) {
             return std::vector<std::string>{"flash", "--package", cli.File("27520_Pack.txt", simtest::Text("a_CPU\r\nb_MIS\r\n"))}; },
         nothing, 31, " Upload not started: QSVERIFs-MIN takes a file *.pkg, not 27520_Pack.txt\n", "\"boards\":0"},
        {"a package of one line", package,
         [](CliFlash& cli) { cli.File("27520_Pack.pkg", simtest::Text("27520_CPU_V1.bin\r\n")); },
         32, " Package file error: fewer than two lines in ", "\"boards\":0"},
        {"an image that is not there", [](CliFlash& cli) {
             return std::vector<std::string>{"flash", cli.Path("31400_missing.bin")}; },
         nothing, 33, " Image file not found: ", "\"pages\":0"},
        {"a port another program holds", image, [](CliFlash& cli) { cli.port.SetBusy(1, true); }, 34,
         "servicetool-cli: flash ", "\"boards\":0"},
        {"no such port", image, [](CliFlash& cli) { cli.port.SetExistingPorts({}); }, 69,
         "cannot be opened: ", "\"boards\":0"},
        {"the board not in its bootloader", image, [](CliFlash& cli) { cli.keysHeld = false; },
         35, "Set baudrate error  ...\nUpload failed! \n", "\"pages\":0"},
        {"the erase code refused", image, [](CliFlash& cli) { cli.boards.CpuBoot().AddFault(Refused(0x44, SimBootStep::Data)); },
         36, "Erase data error  ...\nUpload failed! \n", "\"pages\":0"},
        {"page 1 refused", image, [](CliFlash& cli) { cli.boards.CpuBoot().AddFault(SimBootloader::NackWriteData(0x08000100)); },
         37, "Write data error...\nUpload failed! \n", "\"pages\":1,\"failed_page\":1"},
        {"Go refused", image, [](CliFlash& cli) { cli.boards.CpuBoot().AddFault(Refused(0x21, SimBootStep::Command)); },
         38, "RUN error ...\nUpload failed! \n", "\"boards\":0,\"pages\":3"},
        {"the instrument not switched on", package, [](CliFlash& cli) { cli.boards.SetPowerOnDelay(-1); },
         39, "Exit due to Timeout \n", "\"boards\":1,\"pages\":3"},
        {"the boot command answered short", package, [](CliFlash& cli) {
             cli.instrument.AddFault(SimFaultRule::Command(0xD0, SimFault::Scripted).WithBytes({0x06, 0x01, 0x03, 0x00, 0x04}));
         }, 40, "Error in Command BOOT\nUpload mis board failed \n", "\"boards\":1"},
        {"the MIS board silent to its sync", package, [](CliFlash& cli) {
             cli.instrument.AddFault(SimFaultRule::Command(boot::kPassCommand, SimFault::Silence).Times(1));
         }, 41, "Upload mis board failed \n", "\"boards\":1"},
        {"the MIS board's erase code refused", package, [](CliFlash& cli) { cli.boards.MisBoot().AddFault(Refused(0x44, SimBootStep::Data)); },
         42, "Upload mis board failed \n", "\"boards\":1"},
        {"the MIS board's page 2 refused", package, [](CliFlash& cli) { cli.boards.MisBoot().AddFault(SimBootloader::NackWriteData(0x08000200)); },
         43, std::string(kNackText) + "\nUpload mis board failed \n", "\"boards\":1,\"pages\":5,\"failed_page\":2"},
        {"page 1 reads back changed", verified, [](CliFlash& cli) { cli.boards.CpuBoot().AddWeakByte(256 + 9); }, 44,
         " Verify      : error at page 1\n\nVerify data error...\nUpload failed! \n", "\"pages\":3,\"failed_page\":1"},
        {"the read-back unanswered", verified, [](CliFlash& cli) { cli.boards.CpuBoot().AddFault(SimBootloader::SilentRead()); },
         44, " Verify      : error at page 0\n", "\"boards\":0,\"pages\":3,\"failed_page\":0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        CliFlash cli;
        c.setUp(cli);
        EXPECT_EQ(cli.Run(c.words(cli)), c.status) << cli.Printed();
        EXPECT_NE(cli.Printed().find(c.said), std::string::npos) << cli.Printed();
        EXPECT_TRUE(cli.JsonHas(c.counted)) << cli.result.Text();
        EXPECT_EQ(cli.JsonHas("\"error\""), c.status != 0) << cli.result.Text();
    }
}

// The MIS board of a package is reached at 57600 baud (0xD4 0x00 first) only with --link-57600.
TEST(CliFlashSteps, TheLinkToTheMisBoardMovesTo57600OnlyWithLink57600)
{
    for (const bool link57600 : {false, true}) {
        SCOPED_TRACE(link57600);
        CliFlash cli;
        std::vector<std::string> words{"flash", "--package", cli.Path("27520_Pack.pkg")};
        if (link57600)
            words.push_back("--link-57600");
        EXPECT_EQ(cli.Run(words), 0) << cli.Printed();
        EXPECT_EQ(cli.instrument.CountRequests(0xD4), link57600 ? 1u : 0u);
        EXPECT_EQ(cli.port.LineSettings(), link57600 ? "57600,N,8,1" : "115200,N,8,1");
    }
}
