// The program that takes the README's pictures, when a tab does not reach the state its picture
// is to show: it must say which tab and why, end with code 1 and leave the pictures already there
// untouched, so a failed run never puts a picture of a failure into the README.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Files.h"
#include "support/RunProgram.h"
#include "support/SimProgram.h"
#include "support/TempFolder.h"

TEST(ScreenshotsProgram, ATabThatMissesItsStateEndsTheRunWithoutWritingAnyPicture)
{
    TempFolder out;
    ASSERT_TRUE(out.ok());
    // A picture of an earlier run; the Param tab, caught before the failing Service tab, must not
    // replace it.
    WriteFileText(out.Path("param-tab.png"), "earlier picture");

    // A VRTA708 has no Wi-Fi module: the Service tab's register read cannot succeed.
    const ProgramRun run = RunProgram({SimProgram::BinFolder() + "/screenshots", "--out", out.Path(), "--model", "VRTA708"},
                                      {"QT_QPA_PLATFORM=offscreen"}, 30000);

    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("screenshots: the Service tab: the read of register 0x40 was not decoded; the log says: "
                           "Wifi not avalable for VRTA708 device; no picture written\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(FileNamesIn(out.Path()), std::vector<std::string>{"param-tab.png"});
    const Bytes kept = ReadFileBytes(out.Path("param-tab.png"));
    EXPECT_TRUE(std::string(kept.begin(), kept.end()) == "earlier picture")
        << "the earlier picture was replaced by " << kept.size() << " bytes";
}
