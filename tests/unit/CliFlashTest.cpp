// servicetool-cli's flash in virtual time against the simulated boards: the exit status names the
// step a run stopped at, standard error ends with the Upload log's own words for it, and --json
// counts the boards and pages programmed. (Through a real port: CliProgram.FlashesOneBoardOrBothBoardsOfAPackage.)
#include <gtest/gtest.h>

#include <functional>

#include "cli/CliCommands.h"
#include "firmware/BootClient.h"
#include "sim/SimBoards.h"
#include "support/CliRig.h"
#include "support/FirmwareImages.h"
#include "support/SimTestHelpers.h"

namespace {

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
        File("31400_V2.bin", FirmwareImage(700, 1));
        File("27520_CPU_V1.bin", FirmwareImage(700, 2));
        File("27520_MIS_V1.bin", FirmwareImage(1400, 3));
        File("27520_Pack.pkg", simtest::Text("27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n"));
    }
};

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
        {"both boards of a package", package, nothing, 0, " >> Upload Success ", "\"boards\":2,\"pages\":9"},
        {"one board read back", verified, nothing, 0, " Verify      : OK\n Run command ", "\"boards\":1,\"pages\":3"},
        {"a package given as an image", [](CliFlash& cli) { return std::vector<std::string>{"flash", cli.Path("27520_Pack.pkg")}; },
         nothing, 64, "27520_Pack.pkg is a package: flash --package ", "\"error\""},
        {"a package named with --target of one board", [](CliFlash& cli) {
             return std::vector<std::string>{"flash", "--package", cli.Path("27520_Pack.pkg"), "--target", "VERTA708"}; },
         nothing, 64, "VERTA708 takes one image, not a package", "\"error\""},
        {"an image the target does not take", [](CliFlash& cli) {
             return std::vector<std::string>{"flash", cli.Path("27520_CPU_V1.bin"), "--target", "VERTA708"}; },
         nothing, 31, " Upload not started: VERTA708 takes a file *31400_*.bin, not 27520_CPU_V1.bin\n",
         "\"boards\":0,\"pages\":0"},
        {"an image that is not there", [](CliFlash& cli) {
             return std::vector<std::string>{"flash", cli.Path("31400_missing.bin")}; },
         nothing, 33, " Image file not found: ", "\"pages\":0"},
        {"a port another program holds", image, [](CliFlash& cli) { cli.port.SetBusy(1, true); }, 34,
         "servicetool-cli: flash ", "\"boards\":0"},
        {"no such port", image, [](CliFlash& cli) { cli.port.SetExistingPorts({}); }, 69,
         "cannot be opened: ", "\"boards\":0"},
        {"the board not in its bootloader", image, [](CliFlash& cli) { cli.keysHeld = false; },
         35, "Set baudrate error  ...\nUpload failed! \n", "\"pages\":0"},
        {"page 1 refused", image, [](CliFlash& cli) { cli.boards.CpuBoot().AddFault(SimBootloader::NackWriteData(0x08000100)); },
         37, "Write data error...\nUpload failed! \n", "\"pages\":1,\"failed_page\":1"},
        {"the MIS board's page 2 refused", package, [](CliFlash& cli) { cli.boards.MisBoot().AddFault(SimBootloader::NackWriteData(0x08000200)); },
         43, std::string(kNackText) + "\nUpload mis board failed \n", "\"boards\":1,\"pages\":5,\"failed_page\":2"},
        {"page 1 reads back changed", verified, [](CliFlash& cli) { cli.boards.CpuBoot().AddWeakByte(256 + 9); }, 44,
         " Verify      : error at page 1\n\nVerify data error...\nUpload failed! \n", "\"pages\":3,\"failed_page\":1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        CliFlash cli;
        c.setUp(cli);
        EXPECT_EQ(cli.Run(c.words(cli)), c.status) << cli.Printed();
        EXPECT_NE(cli.Printed().find(c.said), std::string::npos) << cli.Printed();
        EXPECT_TRUE(cli.JsonHas(c.counted)) << cli.result.Text();
        EXPECT_EQ(cli.JsonHas("\"error\""), c.status != 0) << cli.result.Text();
        if (c.status == cli_exit::kUsage) {
            EXPECT_EQ(cli.port.Opens(), 0) << "refused before the port is opened";
        }
    }
}

// The board's bootloader is reached at 57600 baud unless --baud says otherwise; the MIS board of a
// package (0xD4 0x00 first) at 57600 only with --link-57600, else at 115200.
TEST(CliFlashSteps, TheSpeedsOfTheBootloaderAndOfTheLinkToTheMisBoard)
{
    const struct {
        const char* line;  // IMAGE and PACKAGE stand for the files
        const char* lastSpeed;
        bool link57600;
    } cases[] = {
        {"flash IMAGE", "57600,E,8,1", false},
        {"--baud 115200 flash IMAGE", "115200,E,8,1", false},
        {"flash --package PACKAGE", "115200,N,8,1", false},
        {"flash --package PACKAGE --link-57600", "57600,N,8,1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        CliFlash cli;
        std::vector<std::string> words = CliRig::Words(c.line);
        for (std::string& word : words)
            word = word == "IMAGE" ? cli.Path("31400_V2.bin") : word == "PACKAGE" ? cli.Path("27520_Pack.pkg") : word;
        EXPECT_EQ(cli.Run(words), 0) << cli.Printed();
        EXPECT_EQ(cli.instrument.CountRequests(0xD4), c.link57600 ? 1u : 0u);
        EXPECT_EQ(cli.port.LineSettings(), c.lastSpeed);
    }
}
