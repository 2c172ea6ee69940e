#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "ServiceRig.h"
#include "support/FileSizeLimit.h"

namespace {

struct WifiRegister : ServiceFlow {
    // Get (save) or Set (load) with "All registers", the file dialog answered by `answer` (nothing:
    // cancelled).
    void RunAll(bool save, std::optional<std::string> answer)
    {
        Command("WiFi register");
        Register("All registers");
        rig.dialogs.filePaths.push_back(std::move(answer));
        save ? Get() : Set();
    }
    std::string Path(const std::string& name) const { return files.filePath(QString::fromStdString(name)).toStdString(); }

    QTemporaryDir files;
};

const std::string kEarlierBackup = "Wifi registers VRTA710_00001234,    Date:05.03.25,  fw:1.05\r\n11h real\r\n";

}  // namespace

// Get and Set of one register or module state through the tab: the value box (when shown) and the
// function boxes make the request and show what came back.
TEST_F(WifiRegister, TheBoxesMakeTheRequestAndShowTheResult)
{
    const struct {
        const char* entry;
        bool get;
        const char* typed;
        const char* ticked;  // chkFunc 3..0
        Bytes sent;
        const char* value;      // the value box afterwards
        const char* functions;  // chkFunc 3..0 afterwards
    } cases[] = {
        {"0x12", true, "old", "0010", {'1', 0x12}, "192.168.4.1", "0010"},
        {"0x04", true, "old", "0010", {'1', 0x04}, "old", "0010"},  // no value box
        {"0x20", true, "old", "0010", {'1', 0x20}, "old", "1101"},
        {"0x13", false, " 255. 255.255.0 ", "0000", {'0', 0x13, 255, 255, 255, 0}, "255.255.255.0", "0000"},
        {"0x17", false, "80a", "1111", {'0', 0x17, '8', '0'}, "80", "1111"},
        {"0x20", false, "", "1001", {'0', 0x20, 0, 0, 16, 1}, "", "1001"},
        {"OFF module", false, "", "0000", {'2', 0}, "", "0000"},
        {"ON module", false, "", "0000", {'2', 1}, "", "0000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + (c.get ? " Get" : " Set"));
        Command(c.entry[0] == '0' ? "WiFi register" : "WiFi setting");
        Register(c.entry);
        Type(c.typed);
        Tick(c.ticked);
        c.get ? Get() : Set();
        EXPECT_EQ(Sent(), std::vector<Bytes>{c.sent});
        EXPECT_EQ(Value(), c.value);
        EXPECT_EQ(Functions(), c.functions);
        EXPECT_EQ(State(), kIdle);
    }
    EXPECT_TRUE(rig.instrument.WifiModuleOn());
}

// Get with "All registers" asks where to save, in the program's folder under the proposed name,
// ticks the function boxes as register 0x20 says and names the file saved; Set asks which file to
// load. A cancelled dialog ends the run without a word.
TEST_F(WifiRegister, TheFileDialogsAndWhatTheTabShows)
{
    Tick("0010");
    RunAll(true, Path("VRTA710_00001234_wifi.txt"));
    ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(rig.dialogs.fileRequests[0].folder, rig.folder.path().toStdString());
    EXPECT_EQ(rig.dialogs.fileRequests[0].suggestedName, "VRTA710_00001234_wifi.txt");
    EXPECT_TRUE(rig.dialogs.fileRequests[0].confirmOverwrite);
    EXPECT_EQ(Functions(), "1101");
    EXPECT_EQ(Log(), "Saved WiFi registers\r\nVRTA710_00001234_WIFI.TXT");
    EXPECT_EQ(State(), kIdle);

    RunAll(false, Path("VRTA710_00001234_wifi.txt"));
    ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(rig.dialogs.fileRequests[0].folder, rig.folder.path().toStdString());
    EXPECT_EQ(Log(), "Write #24 WiFi registers");
    EXPECT_EQ(State(), kIdle);

    for (const bool save : {true, false}) {
        RunAll(save, std::nullopt);
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(Log(), "");
        EXPECT_EQ(State(), kIdle);
    }
}

// A disk that fills while the registers are read: the log names the file and why it could not be
// written, no register is read after that, and the earlier backup stays as it was.
TEST_F(WifiRegister, ReadAllOnAFullDiskKeepsTheEarlierBackupAndSaysSo)
{
    const std::string path = Path("VRTA710_00001234_wifi.txt");
    const struct {
        rlim_t limit;
        std::size_t read;  // registers read before the line that does not fit
    } cases[] = {{40, 0}, {300, 17}, {423, 28}};  // not even the header; 26h ends past 300; one byte short
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        WriteFileText(path, kEarlierBackup);
        {
            FileSizeLimit full(c.limit);
            ASSERT_TRUE(full.ok());
            RunAll(true, path);
        }
        EXPECT_EQ(Sent().size(), c.read);
        EXPECT_EQ(Log(), "ERROR writing file " + path + "\r\n  " + std::strerror(EFBIG));
        EXPECT_EQ(ReadFileText(path), kEarlierBackup);
        EXPECT_EQ(FileNamesIn(files.path().toStdString()), std::vector<std::string>{"VRTA710_00001234_wifi.txt"});
        EXPECT_EQ(State(), kIdle);
    }
    RunAll(true, path);  // with room again the same name takes the new backup
    EXPECT_EQ(ReadFileText(path).size(), 424u);
}
