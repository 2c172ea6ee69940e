#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/RunProgram.h"
#include "support/SimProgram.h"

namespace {

std::string Program(const std::string& name)
{
    return SimProgram::BinFolder() + "/" + name;
}

// Neither a display nor a chosen Qt platform: what a terminal without a desktop session has.
const std::vector<std::string> kNoDisplay{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

}  // namespace

TEST(ProgramOptions, VersionIsTheBuildVersionOnBothProgramsWithoutADisplay)
{
    ASSERT_TRUE(std::regex_match(SERVICETOOL_VERSION, std::regex(R"(\d+\.\d+\.\d+)"))) << SERVICETOOL_VERSION;
    for (const char* name : {"servicetool", "servicetool-sim"}) {
        SCOPED_TRACE(name);
        const ProgramRun run = RunProgram({Program(name), "--version"}, kNoDisplay);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, std::string(name) + " " + SERVICETOOL_VERSION + "\n");
        EXPECT_EQ(run.err, "");
    }
}

TEST(ProgramOptions, HelpListsEveryOption)
{
    const struct {
        const char* program;
        std::vector<std::string> options;
    } cases[] = {
        {"servicetool", {"--simulator ", "--simulator-model NAME", "--version", "--help", "dialout", "/etc/servicetool/"}},
        {"servicetool-sim", {"--link PATH", "--model NAME", "--serial S", "--fw-version T", "--pace", "--baud N",
                             "--slice-ms M", "--fault RULE", "--version ", "--help"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        const ProgramRun run = RunProgram({Program(c.program), "--help"}, kNoDisplay);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        for (const std::string& option : c.options)
            EXPECT_NE(run.out.find(option), std::string::npos) << option << " missing from\n" << run.out;
        EXPECT_EQ(run.out.find("--version T"), std::string::npos) << "the program version option takes no value";
    }
}

TEST(ProgramOptions, WrongCommandLinesEndWithCode2AndTheUsage)
{
    const struct {
        std::vector<std::string> arguments;
        const char* complaint;
    } cases[] = {
        {{"servicetool", "--bogus"}, "unknown option --bogus"},
        {{"servicetool", "--simulator-model"}, "--simulator-model needs a device name"},
        {{"servicetool-sim"}, "--link is required"},
        {{"servicetool-sim", "--link", "/tmp/x", "--fault", "explode"}, "unknown fault kind in \"explode\""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments[0] = Program(arguments[0]);
        SCOPED_TRACE(c.complaint);
        const ProgramRun run = RunProgram(arguments, {"QT_QPA_PLATFORM=offscreen"});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(c.complaint), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("usage: "), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}
