// servicetool-cli against the window: the same operation, the same files.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "DownloadRig.h"
#include "support/CliRig.h"
#include "support/Files.h"

// The window and the command line, started at the same moment on the same instrument, save the
// same files under the same names. "Flash #MIS only" ticks "EEprom" in the window, so
// --flash-mis-only saves the EEPROM image as well.
TEST_F(DownloadFlow, CliBackupEqualsTheWindowsByteForByteAndByName)
{
    Start();
    const struct {
        const char* options;
        std::function<void(DownloadFlow&)> window;
    } cases[] = {
        {"--eeprom --flash 3-5", [](DownloadFlow& t) { t.Pages("3", "5"); }},
        {"--flash-mis-only", [](DownloadFlow& t) { t.Tick("chkDownALLdata", true); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        NextRun();
        const double started = rig.host.Now();
        rig.instrument.SetRecordCount(57);
        c.window(*this);
        Download();
        const std::vector<std::string> window = SavedFiles();
        ASSERT_EQ(window.size(), 2u);

        CliRig cli;
        cli.instrument.SetRecordCount(57);
        cli.host.RunUntil(started);
        const std::string out = cli.Path("out");
        ASSERT_TRUE(std::filesystem::create_directory(out));
        EXPECT_EQ(cli.Run("backup " + std::string(c.options) + " --out " + out), 0) << cli.Printed();
        const std::vector<std::string> files = FileNamesIn(out);
        ASSERT_EQ(files, window);
        for (const std::string& name : files)
            EXPECT_EQ(ReadFileBytes(out + "/" + name), FileBytes(name)) << name;
        EXPECT_NE(cli.result.Text().find("\"files\":[\"" + out + "/" + window[0]), std::string::npos);
        EXPECT_NE(cli.Printed().find(" " + ToUpperAscii(window[1]) + "\n"), std::string::npos) << cli.Printed();
        Tick("chkDownALLdata", false);
    }
}

