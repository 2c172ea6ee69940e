#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "ServiceRig.h"
#include "sim/SimWifiModule.h"
#include "support/FileSizeLimit.h"
#include "support/SimTestHelpers.h"

namespace {

using simtest::Acked;

const std::vector<int> kOrder{0x03, 0x04, 0x09, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x17, 0x1F, 0x20, 0x21, 0x22, 0x23,
                              0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2C, 0x2D, 0x2E, 0x2F, 0x33, 0x34, 0x40};

// Lines of the simulated module as it comes, in the order read-all saves them.
const char* const kDefaultLines =
    "03h 1152\r\n04h WM 2.4.1\r\n09h 3\r\n0Fh 70:B3:D5:1A:20:01\r\n10h VERTA_AP\r\n11h verta1234\r\n"
    "12h 192.168.4.1\r\n13h 255.255.255.0\r\n17h 2000\r\n1Fh 70:B3:D5:1A:20:02\r\n20h 0.0.17.1\r\n21h 3\r\n"
    "22h Officina 2\r\n23h \r\n24h DHCP\r\n25h 192.168.1.40\r\n26h 255.255.255.0\r\n27h 192.168.1.1\r\n"
    "28h mqtt.local\r\n29h 1883\r\n2Ah verta/710\r\n2Ch 1\r\n2Dh 0\r\n2Eh 30\r\n2Fh 10\r\n33h site-A\r\n34h \r\n"
    "40h 0.0.19.17\r\n";
const char* const kHeader = "Wifi registers VRTA710_00001234,    Date:05.03.25,  fw:1.05\r\n";
const std::string kEarlierBackup = std::string(kHeader) + "03h 9600\r\n11h the real password\r\n";

std::vector<Bytes> Reads(const std::vector<int>& registers)
{
    std::vector<Bytes> reads;
    for (const int n : registers)
        reads.push_back({'1', static_cast<std::uint8_t>(n)});
    return reads;
}

std::vector<int> OrderUpTo(int last)
{
    std::vector<int> registers;
    for (const int n : kOrder) {
        registers.push_back(n);
        if (n == last)
            break;
    }
    return registers;
}

std::string UpperHex(int n)
{
    static const char* digits = "0123456789ABCDEF";
    return n < 16 ? std::string(1, digits[n]) : std::string{digits[n / 16], digits[n % 16]};
}

// Register n answered with exactly `answer`.
SimFaultRule Scripted(int n, const Bytes& answer)
{
    return SimFaultRule::WifiRegister(n, SimFault::Scripted).WithBytes(answer);
}

struct RegisterFile : ServiceFlow {
    void SetUp() override
    {
        Start();
        Command("WiFi register");
        Register("All registers");
    }
    void ReadAll(std::optional<std::string> answer)
    {
        rig.dialogs.filePaths.push_back(std::move(answer));
        Get();
    }
    void WriteAll(std::optional<std::string> answer)
    {
        rig.dialogs.filePaths.push_back(std::move(answer));
        Set();
    }
};

}  // namespace

TEST_F(RegisterFile, ReadAllSavesEveryRegisterInOrder)
{
    WriteFile("VRTA710_00001234_wifi.txt", "an older file, longer than the new one will be" + std::string(4000, '.'));
    ReadAll(FilePath("VRTA710_00001234_wifi.txt"));

    ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
    const FileDialogRequest& asked = rig.dialogs.fileRequests[0];
    EXPECT_EQ(asked.folder, rig.folder.path().toStdString());
    EXPECT_EQ(asked.filter, "WiFi register file (*.txt)| *.txt");
    EXPECT_EQ(asked.suggestedName, "VRTA710_00001234_wifi.txt");
    EXPECT_TRUE(asked.confirmOverwrite);

    EXPECT_EQ(Sent(), Reads(kOrder));
    EXPECT_EQ(FileText("VRTA710_00001234_wifi.txt"), std::string(kHeader) + kDefaultLines);
    std::vector<std::string> expected{""};
    for (const int n : kOrder)
        expected.push_back("Reading register " + UpperHex(n) + "h");
    expected.push_back("Saved WiFi registers\r\nVRTA710_00001234_WIFI.TXT");
    EXPECT_EQ(logs, expected);
    EXPECT_EQ(Functions(), "1101") << "the function register ticks its boxes";
    EXPECT_EQ(Files(), std::vector<std::string>{"VRTA710_00001234_wifi.txt"});
    EXPECT_EQ(State(), kIdle);
}

// The first register that cannot be read ends the run; the earlier backup under the same name is
// kept as it was, and nothing else is left in its folder.
TEST_F(RegisterFile, ReadAllStopsAtTheFirstRegisterItCannotRead)
{
    const struct {
        const char* story;
        int failing;
        std::optional<SimFaultRule> fault;
        std::optional<Bytes> held;
    } cases[] = {
        {"first register silent", 0x03, SimFaultRule::WifiRegister(0x03, SimFault::Silence), std::nullopt},
        {"address silent", 0x12, SimFaultRule::WifiRegister(0x12, SimFault::Silence), std::nullopt},
        {"status busy", 0x40, SimFaultRule::WifiRegister(0x40, SimFault::Busy), std::nullopt},
        {"register 33h refused", 0x33, SimFaultRule::WifiRegister(0x33, SimFault::NotOk), std::nullopt},
        {"password refused", 0x23, SimFaultRule::WifiRegister(0x23, SimFault::NotOk), std::nullopt},
        // Refusals in a bare status: never saved as an empty password or an empty mode.
        {"password refused in a bare status", 0x11, Scripted(0x11, Acked(Bytes{'1'})), std::nullopt},
        {"password busy in a bare status", 0x23, Scripted(0x23, Acked(Bytes{'2'})), std::nullopt},
        {"password NAK in a bare status", 0x11, Scripted(0x11, Acked(Bytes{0x15})), std::nullopt},
        {"station mode a bare OK", 0x21, Scripted(0x21, Acked(Bytes{'0'})), std::nullopt},
        {"mode not a digit", 0x09, std::nullopt, Bytes{'x'}},
        {"address of three bytes", 0x26, std::nullopt, Bytes{255, 255, 0}},
        {"a line end inside a name", 0x10, std::nullopt, Bytes{'a', '\r', '\n', 'b'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        SimInstrument fresh;
        rig.instrument.Wifi() = fresh.Wifi();
        rig.instrument.ClearFaults();
        if (c.fault)
            rig.instrument.AddFault(*c.fault);
        if (c.held)
            rig.instrument.Wifi().SetRegister(c.failing, *c.held);
        WriteFile("VRTA710_00001234_wifi.txt", kEarlierBackup);
        ReadAll(FilePath("VRTA710_00001234_wifi.txt"));
        EXPECT_EQ(Sent(), Reads(OrderUpTo(c.failing)));
        EXPECT_EQ(Log(), "ERROR reading register " + UpperHex(c.failing) + "h");
        EXPECT_EQ(FileText("VRTA710_00001234_wifi.txt"), kEarlierBackup);
        EXPECT_EQ(Files(), std::vector<std::string>{"VRTA710_00001234_wifi.txt"});
        EXPECT_EQ(State(), kIdle);
        rig.host.RunUntil(rig.host.Now() + 2.0);
    }
}

TEST_F(RegisterFile, CancelledDialogsEndQuietly)
{
    for (const std::optional<std::string>& answer : {std::optional<std::string>(), std::optional<std::string>("")}) {
        ReadAll(answer);
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(Log(), "");
        EXPECT_EQ(State(), kIdle);
        WriteAll(answer);
        ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
        EXPECT_EQ(rig.dialogs.fileRequests[0].filter, "Wifi register file (*_wifi.txt)| *_wifi.txt");
        EXPECT_EQ(rig.dialogs.fileRequests[0].folder, rig.folder.path().toStdString());
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(Log(), "");
        EXPECT_EQ(State(), kIdle);
    }
    ReadAll(FilePath("no/such/folder/x_wifi.txt"));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Log(), "");
    WriteAll(FilePath("missing_wifi.txt"));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(State(), kIdle);
    EXPECT_TRUE(Files().empty());
}

// Which lines of a file go back to the module, and as which bytes.
TEST_F(RegisterFile, WriteAllSendsTheLinesItCan)
{
    const std::string file =
        "12h 1.1.1.1\r\n"      // the first line is never sent
        "03h 9600\r\n"
        "3h 1152\r\n"           // its h is the second character
        "0Ah x\r\n"             // in neither class
        "12h 10.1.2.3\r\n"
        "12h 10\r\n"
        "12h 1.2.\r\n"
        "12h\r\n"
        "10h\r\n"
        "13H 1.2.3.4\r\n"       // no lower-case h
        "1hh 1\r\n"
        "04h WM 9\r\n0Fh aa\r\n1Fh bb\r\n40h 1.2.3.4\r\n"  // read only
        "g3h 1\r\n"             // not hexadecimal: register 0, not written
        "\r\n"
        "20h 0.0.17.1\r\n"
        "22h Casa mia \r\n"
        "09h 3\r\n"
        "2Bh x\r\n"
        "25h 10.0.0.7";         // the last line needs no line end
    WriteFile("mine_wifi.txt", file);
    WriteAll(FilePath("mine_wifi.txt"));
    const std::vector<Bytes> sent{
        TextWrite(0x03, "9600"),      Payload({'0', 0x12, 10, 1, 2, 3}),
        Payload({'0', 0x12, 10, 10, 10, 10}), Payload({'0', 0x12, 1, 2, 0, 0}),
        Payload({'0', 0x12, 0, 0, 0, 0}),     Payload({'0', 0x10}),
        Payload({'0', 0x20, 0, 0, 17, 1}),    TextWrite(0x22, "Casa mia "),
        TextWrite(0x09, "3"),         TextWrite(0x2B, "x"),
        Payload({'0', 0x25, 10, 0, 0, 7}),
    };
    EXPECT_EQ(Sent(), sent);
    std::vector<std::string> expected{""};
    for (const Bytes& request : sent)
        expected.push_back("Writing register " + UpperHex(request[1]) + "h");
    expected.push_back("Write #11 WiFi registers");
    // Equal texts in a row show once.
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    logs.erase(std::unique(logs.begin(), logs.end()), logs.end());
    EXPECT_EQ(logs, expected);
    EXPECT_EQ(State(), kIdle);
}

// A file with a line that cannot be sent changes nothing in the module; the log says which line
// (the header is line 1) and why.
TEST_F(RegisterFile, WriteAllSendsNothingFromAFileWithALineItCannotSend)
{
    const std::string v49(49, 'v');
    const std::string none = "\r\nnessuna scrittura ai registri";
    const struct {
        const char* story;
        std::string line;
        std::optional<Bytes> sent;  // when the line can be sent
        std::string refusal;        // else the log
    } cases[] = {
        {"49 characters", "28h " + v49, TextWrite(0x28, v49), ""},
        {"50 characters", "28h " + v49 + "v", std::nullopt,
         "Line 3, register 28h: 50 characters, at most 49 can be sent" + none},
        {"255", "13h 255.255.255.255", Payload({'0', 0x13, 255, 255, 255, 255}), ""},
        {"256", "13h 255.255.256.0", std::nullopt,
         "Line 3, register 13h: group 3 \"256\" is not a number from 0 to 255" + none},
        {"a letter in a group", "26h 255.25x.0.0", std::nullopt,
         "Line 3, register 26h: group 2 \"25x\" is not a number from 0 to 255" + none},
        {"a trailing blank", "12h 1.2.3.4 ", std::nullopt,
         "Line 3, register 12h: group 4 \"4 \" is not a number from 0 to 255" + none},
        {"one group for all four", "12h 256", std::nullopt,
         "Line 3, register 12h: group 1 \"256\" is not a number from 0 to 255" + none},
        {"an empty group", "26h 255..0.0", Payload({'0', 0x26, 255, 0, 0, 0}), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        WriteFile("check_wifi.txt", "head\r\n10h before\r\n" + c.line + "\r\n17h 81\r\n");
        WriteAll(FilePath("check_wifi.txt"));
        if (c.sent) {
            EXPECT_EQ(Sent(), (std::vector<Bytes>{TextWrite(0x10, "before"), *c.sent, TextWrite(0x17, "81")}));
            EXPECT_EQ(Log(), "Write #3 WiFi registers");
        } else {
            EXPECT_TRUE(Sent().empty());
            EXPECT_EQ(Log(), c.refusal);
        }
        EXPECT_EQ(State(), kIdle);
    }
    // Lines are counted as the file has them, blank ones too.
    WriteFile("check_wifi.txt", "head\n\n10h ok\n\n28h " + v49 + "vv\n");
    WriteAll(FilePath("check_wifi.txt"));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Log(), "Line 5, register 28h: 51 characters, at most 49 can be sent" + none);
}

TEST_F(RegisterFile, WriteAllStopsAtTheFirstFailingWrite)
{
    WriteFile("stop_wifi.txt", "head\r\n10h A\r\n12h 1.2.3.4\r\n17h 80\r\n");
    const SimFault faults[] = {SimFault::NotOk, SimFault::Busy, SimFault::Nak, SimFault::Silence,
                               SimFault::GarbageBeforeAck};
    for (const SimFault fault : faults) {
        SCOPED_TRACE(static_cast<int>(fault));
        rig.instrument.ClearFaults();
        rig.instrument.AddFault(SimFaultRule::WifiRegister(0x12, fault));
        WriteAll(FilePath("stop_wifi.txt"));
        EXPECT_EQ(Sent(), (std::vector<Bytes>{TextWrite(0x10, "A"), Payload({'0', 0x12, 1, 2, 3, 4})}));
        EXPECT_EQ(Log(), "Writing register 12h");
        EXPECT_EQ(State(), kIdle);
        rig.host.RunUntil(rig.host.Now() + 2.0);
    }
}

// Closing the window ends a run at once: no further request, and no file where none was.
TEST_F(RegisterFile, ClosingTheWindowEndsARunQuietly)
{
    rig.instrument.AddFault(SimFaultRule::WifiRegister(0x12, SimFault::Slow).Delay(1.0));
    rig.host.CallAfter(0.6, [this] { rig.host.RequestQuit(); });
    ReadAll(FilePath("quit_wifi.txt"));
    EXPECT_EQ(Sent(), Reads(OrderUpTo(0x12)));
    EXPECT_TRUE(Files().empty());
    EXPECT_EQ(Log().rfind("Saved", 0), std::string::npos);
    EXPECT_FALSE(rig.port.IsOpen());
}

// A disk that fills while the registers are read: the log names the file and why it could not be
// written, no register is read after that, and the earlier backup stays as it was.
TEST_F(RegisterFile, ReadAllOnAFullDiskKeepsTheEarlierBackupAndSaysSo)
{
    const std::string whole = std::string(kHeader) + kDefaultLines;
    const struct {
        rlim_t limit;
        std::vector<int> read;  // before the line that does not fit
    } cases[] = {
        {40, {}},                  // not even the header
        {300, OrderUpTo(0x26)},    // the line of 26h ends past 300 bytes
        {whole.size() - 1, kOrder},
    };
    ASSERT_LT(whole.find("26h "), 300u);
    ASSERT_GT(whole.find("27h "), 300u);
    const std::string path = FilePath("VRTA710_00001234_wifi.txt");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        WriteFile("VRTA710_00001234_wifi.txt", kEarlierBackup);
        {
            FileSizeLimit full(c.limit);
            ASSERT_TRUE(full.ok());
            ReadAll(path);
        }
        EXPECT_EQ(Sent(), Reads(c.read));
        EXPECT_EQ(Log(), "ERROR writing file " + path + "\r\n  " + std::strerror(EFBIG));
        EXPECT_EQ(FileText("VRTA710_00001234_wifi.txt"), kEarlierBackup);
        EXPECT_EQ(Files(), std::vector<std::string>{"VRTA710_00001234_wifi.txt"});
        EXPECT_EQ(State(), kIdle);
    }
    // With room again the same name takes the new backup.
    ReadAll(path);
    EXPECT_EQ(FileText("VRTA710_00001234_wifi.txt"), whole);
}

// What one module saves, another takes back: every register it can write ends up equal.
TEST_F(RegisterFile, RoundTripFromOneModuleIntoAnother)
{
    SimWifiModule& source = rig.instrument.Wifi();
    source.SetRegister(0x03, {'9', '6', '0', '0'});
    source.SetRegister(0x09, {'1'});
    source.SetRegister(0x10, {'L', 'a', 'b', ' ', 0xE8});  // a character of the single-byte set
    source.SetRegister(0x11, {});
    source.SetRegister(0x12, {10, 20, 30, 40});
    source.SetRegister(0x20, {0, 0, 0x10, 0x11});
    source.SetRegister(0x21, {'5'});
    source.SetRegister(0x23, {'p', 'w'});
    source.SetRegister(0x27, {0, 0, 0, 0});
    source.SetRegister(0x34, {'n', 'o', 't', 'e'});
    const SimWifiModule saved = source;
    ReadAll(FilePath("VRTA710_00001234_wifi.txt"));
    ASSERT_EQ(Log(), "Saved WiFi registers\r\nVRTA710_00001234_WIFI.TXT");

    // Another module, every register holding something else.
    SimWifiModule other;
    for (const auto& [n, value] : saved.Registers()) {
        Bytes different = value;
        switch (SimWifiModule::KindOf(n)) {
        case SimWifiModule::Kind::Quad:
        case SimWifiModule::Kind::ReadOnlyQuad: different = {1, 1, 1, 1}; break;
        case SimWifiModule::Kind::Digit: different = {'0'}; break;
        case SimWifiModule::Kind::Speed: different = {'1', '2', '0', '0'}; break;
        default: different.push_back('#'); break;
        }
        other.SetRegister(n, different);
    }
    rig.instrument.Wifi() = other;
    WriteAll(FilePath("VRTA710_00001234_wifi.txt"));
    EXPECT_EQ(Log(), "Write #24 WiFi registers");
    for (const auto& [n, value] : saved.Registers()) {
        SCOPED_TRACE(UpperHex(n));
        const bool readOnly = n == 0x04 || n == 0x0F || n == 0x1F || n == 0x40;
        EXPECT_EQ(*rig.instrument.WifiRegister(n), readOnly ? *other.Register(n) : value);
    }
}
