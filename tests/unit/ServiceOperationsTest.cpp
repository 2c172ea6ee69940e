// The Service tab's operations in virtual time against the simulated instrument: what each sends, what
// its log shows, what it gives back and why it ended. What the window adds: WifiRegister, ServicePanel.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/Files.h"
#include "link/InstrumentModels.h"
#include "service/CalibrationDate.h"
#include "service/ServiceOperations.h"
#include "sim/SimWifiModule.h"
#include "support/Files.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDialogs.h"
#include "support/SimTestHelpers.h"
#include "support/TempFolder.h"

using namespace simtest;

namespace {

using Kind = Interruption::Kind;
using RC = ResultCode;

// Lines of the simulated module as it comes, in the order read-all saves them.
const char* const kDefaultLines =
    "03h 1152\r\n04h WM 2.4.1\r\n09h 3\r\n0Fh 70:B3:D5:1A:20:01\r\n10h VERTA_AP\r\n11h verta1234\r\n"
    "12h 192.168.4.1\r\n13h 255.255.255.0\r\n17h 2000\r\n1Fh 70:B3:D5:1A:20:02\r\n20h 0.0.17.1\r\n21h 3\r\n"
    "22h Officina 2\r\n23h \r\n24h DHCP\r\n25h 192.168.1.40\r\n26h 255.255.255.0\r\n27h 192.168.1.1\r\n"
    "28h mqtt.local\r\n29h 1883\r\n2Ah verta/710\r\n2Ch 1\r\n2Dh 0\r\n2Eh 30\r\n2Fh 10\r\n33h site-A\r\n34h \r\n"
    "40h 0.0.19.17\r\n";
const std::string kHeader = "Wifi registers VRTA710_00001234,    Date:05.03.25,  fw:1.05\r\n";
const std::string kEarlierBackup = kHeader + "03h 9600\r\n11h the real password\r\n";
// The default module's functions 0.0.17.1: MQTT, station and AP on, TCP off (chkFunc 0..3).
const FunctionBoxes kDefaultFunctions{true, false, true, true};


// The requests of read-all up to register `last`: reads of the registers of the lines above.
std::vector<Bytes> ReadsUpTo(int last = 0x40)
{
    std::vector<Bytes> reads;
    const std::string lines = kDefaultLines;
    for (std::size_t at = 0; at < lines.size() && (reads.empty() || reads.back()[1] != last); at = lines.find('\n', at) + 1)
        reads.push_back({'1', static_cast<std::uint8_t>(std::stoi(lines.substr(at, 2), nullptr, 16))});
    return reads;
}

Bytes Write(int n, const Bytes& value)
{
    return Cat({'0', static_cast<std::uint8_t>(n)}, value);
}

// Year, month and day written and read back, then (`commit`) the commit.
std::vector<Bytes> DateWrites(const char* day, const char* month, const char* year, bool commit = true)
{
    std::vector<Bytes> sent{ParamWrite(7, year), ParamRead(7), ParamWrite(6, month), ParamRead(6), ParamWrite(5, day), ParamRead(5)};
    if (commit)
        sent.push_back({'r'});
    return sent;
}

// Keeps every text the log showed, in order.
struct ShownSink : RecordingSink {
    void Live(const std::string& text) override
    {
        shown.push_back(text);
        RecordingSink::Live(text);
    }
    std::vector<std::string> shown;
};

class ServiceOperation : public SimRigTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.ok());
        sim.SetIdentity({"VRTA710"});
        link.CommPortNumber = 1;
        link.BaudText = "115200";
        catalogue.LoadFamily(ParamFamilies().front().entry);
    }
    std::string Path(const std::string& name) const { return folder.Path(name); }
    std::vector<std::string> Files() const { return FileNamesIn(folder.Path()); }
    // Every file question answered with `path` (nothing: cancelled).
    void Choose(std::optional<std::string> path)
    {
        sink.answer = [path](const Question&) { return path ? Answer::Path(*path) : Answer::Cancel(); };
    }
    // Requests after the identification.
    std::vector<Bytes> Sent() const
    {
        std::vector<Bytes> sent = sim.Requests();
        if (!sent.empty() && sent.front() == Bytes{'I'})
            sent.erase(sent.begin());
        return sent;
    }
    // A new run with `fault` alone, once a late answer of the last one is over.
    void Fresh(const std::optional<SimFaultRule>& fault = std::nullopt)
    {
        host.RunUntil(host.Now() + 2.0);
        sim.ClearRecord();
        sim.ClearFaults();
        if (fault)
            sim.AddFault(*fault);
        sink = ShownSink();
    }

    TempFolder folder;
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    ShownSink sink;
    OperationContext context{link, sink, "/the/program/folder"};
    ParamCatalogue catalogue;
};

// A fault of register n.
constexpr auto On = SimFaultRule::WifiRegister;

}  // namespace

// Get of one register: the value for the value box, the log and, for 0x20, the function boxes. A
// refusal speaks for itself; any other failure shows what came back.
TEST_F(ServiceOperation, ReadGivesValueLogAndFunctions)
{
    const std::string garbled = "FF55" + BytesToHex(Acked(Text("0VERTA_AP")));
    const struct {
        int n;
        RC code;
        std::string value;
        std::string log;
        std::optional<FunctionBoxes> functions = std::nullopt;
        std::optional<Bytes> held = std::nullopt;  // when not the module's default
        std::optional<SimFaultRule> fault = std::nullopt;
    } cases[] = {
        {0x12, RC::Ok, "192.168.4.1", ""},
        {0x20, RC::Ok, "0.0.16.1",
         "1 Enable MQTT connection\r\n0 Enable station Wi-Fi functionality\r\n0 Enable TCP socket\r\n"
         "1 Enable AP Wi-Fi functionality\r\n",
         FunctionBoxes{true, false, false, true}, Bytes{0, 0, 0x10, 0x01}},
        {0x20, RC::Ok, "255.255.239.16",
         "0 Enable MQTT connection\r\n1 Enable station Wi-Fi functionality\r\n1 Enable TCP socket\r\n"
         "0 Enable AP Wi-Fi functionality\r\n",
         FunctionBoxes{false, true, true, false}, Bytes{0xFF, 0xFF, 0xEF, 0x10}},
        {0x20, RC::Busy, "", "Busy ...", std::nullopt, std::nullopt, On(0x20, SimFault::Busy)},
        {0x12, RC::NoFrame, " NO EOT", "\r\nRx: ", std::nullopt, std::nullopt, On(0x12, SimFault::Silence)},
        {0x10, RC::NoFrame, " NO EOT", "\r\nRx: 15", std::nullopt, std::nullopt, On(0x10, SimFault::Nak)},
        {0x10, RC::Malformed, "", "Error (Rx: " + garbled + ")\r\nRx: " + garbled, std::nullopt, std::nullopt,
         On(0x10, SimFault::GarbageBeforeAck)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.n) + " " + c.log);
        Fresh(c.fault);
        if (c.held)
            sim.Wifi().SetRegister(c.n, *c.held);
        const RegisterReadResult result = ReadRegister(context, {c.n});
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.value, c.value);
        EXPECT_EQ(sink.Text(), c.log);
        EXPECT_EQ(result.functions, c.functions);
        EXPECT_EQ(Sent(), (std::vector<Bytes>{{'1', static_cast<std::uint8_t>(c.n)}}));
    }
}

// Set of one register: the value typed (blanks removed), checked, then the bytes sent after '0' n;
// what the value box shows afterwards. A value that cannot be sent ends the run silently.
TEST_F(ServiceOperation, WriteSendsTheCheckedValue)
{
    const std::string refused = "nessuna scrittura ai registri";
    const std::string w99(99, 'w');
    const struct {
        int n;
        std::string typed;
        std::optional<Bytes> sent;  // nothing: no request
        std::string box;
        std::string log = "";
        FunctionBoxes ticked = {};
    } cases[] = {
        {0x12, "192.168.001.255", Write(0x12, {192, 168, 1, 255}), "192.168.001.255"},
        {0x12, "1.2.3.256", std::nullopt, "1.2.3.256"},
        {0x13, " 255. 255.255.0 ", Write(0x13, {255, 255, 255, 0}), "255.255.255.0"},
        {0x17, "12345", Write(0x17, Text("12345")), "12345"},
        {0x17, "1234\xC3\xA9", Write(0x17, Text("1234")), "1234"},  // five characters
        {0x17, "123456", std::nullopt, "123456", "troppi caratteri:  max=5\r\n" + refused},
        {0x17, "80a", Write(0x17, Text("80")), "80"}, {0x17, "abc", std::nullopt, "abc", refused},
        {0x09, "5", Write(0x09, {5}), "5"},            {0x09, "6", std::nullopt, "6", refused},
        {0x09, "-1", std::nullopt, "-1", refused},     {0x09, "5.5", std::nullopt, "5.5", refused},  // half to even
        {0x21, "4", Write(0x21, Text("4")), "4"},
        {0x10, "   ", std::nullopt, "", " stringa VUOTA !!"},
        {0x10, w99, Write(0x10, Text(w99)), w99}, {0x10, w99 + "w", std::nullopt, w99 + "w"},
        {0x10, "caf\xC3\xA9", Write(0x10, {'c', 'a', 'f', 0xE9}), "caf\xC3\xA9"},
        {0x10, "\xE2\x82\xACuro", std::nullopt, "\xE2\x82\xACuro"},  // no single byte for it
        {0x03, "115200", Write(0x03, Text("1152")), "115200"}, {0x03, "9600", Write(0x03, Text("9600")), "9600"},
        {0x03, "960", std::nullopt, "960"},                   {0x03, "-115200", std::nullopt, "-115200"},
        {0x00, "", Write(0x00, {}), ""},
        // The functions come from their boxes (chkFunc 0..3), whatever the value box holds.
        {0x20, "1.2.3.4", Write(0x20, {0, 0, 16, 1}), "1.2.3.4", "", {true, false, false, true}},
        {0x20, "", Write(0x20, {0, 0, 1, 16}), "", "", {false, true, true, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.n) + " \"" + c.typed + "\"");
        Fresh();
        const RegisterWriteResult result = WriteRegister(context, {c.n, c.typed, c.ticked});
        EXPECT_EQ(Sent(), c.sent ? std::vector<Bytes>{*c.sent} : std::vector<Bytes>{});
        EXPECT_EQ(result.value, c.box);
        EXPECT_EQ(sink.Text(), c.log);
        EXPECT_EQ(result.ok(), c.sent.has_value());
    }
    // What a Set shows of the module's answer: a refusal as a read says it, else what came back.
    const std::pair<SimFault, std::string> answers[] = {
        {SimFault::Silence, "NO EOT\r\nRx: "}, {SimFault::Nak, "NO EOT\r\nRx: 15"}, {SimFault::NotOk, "NO OK !!"},
        {SimFault::Busy, "Busy ..."}, {SimFault::NakStatus, "NAK"}, {SimFault::MissingEot, "NO EOT\r\nRx: 06010530C00A00"},
        {SimFault::GarbageBeforeAck, "\r\nRx: FF5506010530C00A04"},
    };
    for (const auto& [fault, log] : answers) {
        SCOPED_TRACE(log);
        Fresh(On(0x17, fault));
        WriteRegister(context, {0x17, "2001", {}});
        EXPECT_EQ(Sent(), (std::vector<Bytes>{Write(0x17, Text("2001"))}));
        EXPECT_EQ(sink.Text(), log);
    }
}

// "WiFi setting": '2' with 0 (off) or 1 (on), "... wait ..." until the module answers; switching
// on may take it six seconds.
TEST_F(ServiceOperation, ModuleSwitchesOffAndOn)
{
    const struct {
        bool on;
        double switchOnS;
        std::string log;
        bool onAfter;
        std::optional<SimFaultRule> fault = std::nullopt;
    } cases[] = {
        {false, 2.0, "OK", false}, {true, 5.9, "OK", true},
        {true, 6.1, " NO EOT\r\nRx: 06", true},
        {false, 2.0, "NO OK !!", true, SimFaultRule::Command('2', SimFault::NotOk)},
        {false, 2.0, "Error (Rx: FF5506010530C00A04)\r\nRx: FF5506010530C00A04", false,
         SimFaultRule::Command('2', SimFault::GarbageBeforeAck)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        host.RunUntil(host.Now() + 6.0);
        Fresh(c.fault);
        sim.SetWifiSwitchOnDelay(c.switchOnS);
        SwitchWifiModule(context, {c.on});
        EXPECT_EQ(Sent(), (std::vector<Bytes>{{'2', static_cast<std::uint8_t>(c.on)}}));
        EXPECT_EQ(sink.shown.at(0), "... wait ...");
        EXPECT_EQ(sink.Text(), c.log);
        EXPECT_EQ(sim.WifiModuleOn(), c.onAfter);
    }
}

// A model without the module is told so, in the spelling of each button; nothing is sent or asked.
TEST_F(ServiceOperation, AModelWithoutTheModuleIsRefusedBeforeAnythingIsSent)
{
    sim.SetIdentity({"VRTA708"});
    const std::string available = "Wifi not available for VRTA708 device";
    const std::string avalable = "Wifi not avalable for VRTA708 device";
    const std::pair<std::function<OperationResult()>, std::string> cases[] = {
        {[&] { return ReadRegister(context, {0x10}); }, avalable},
        {[&] { return WriteRegister(context, {0x10, "Casa", {}}); }, available},
        {[&] { return ReadAllRegisters(context); }, avalable},
        {[&] { return WriteAllRegisters(context); }, available},
        {[&] { return SwitchWifiModule(context, {false}); }, avalable},
    };
    for (const auto& [run, said] : cases) {
        SCOPED_TRACE(said);
        Fresh();
        const OperationResult result = run();
        EXPECT_EQ(result.code, RC::Refused);
        EXPECT_EQ(result.reason, said);
        EXPECT_EQ(sink.Text(), said);
        EXPECT_TRUE(Sent().empty());
        EXPECT_TRUE(sink.asked.empty());
    }
}

// Read-all saves every register in a file in place of the one chosen, each character as one byte,
// in a folder named with an accented letter as Windows users name theirs.
TEST_F(ServiceOperation, ReadAllSavesEveryRegisterInOrder)
{
    const std::string accented = Path("Modulo Wi-Fi \xC3\xA8 qui");
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(accented)));
    const std::string file = WriteFileText(accented + "/VRTA710_00001234_wifi.txt", "older and longer" + std::string(4000, '.'));
    sim.Wifi().SetRegister(0x22, {'L', 'a', 'b', ' ', 0xE8});
    Choose(file);
    const RegisterFileResult result = ReadAllRegisters(context);
    ASSERT_TRUE(result.ok()) << sink.Text();
    std::string lines = kDefaultLines;
    EXPECT_EQ(ReadFileText(file), kHeader + lines.replace(lines.find("Officina 2"), 10, "Lab \xE8"));
    EXPECT_EQ(FileNamesIn(accented), std::vector<std::string>{"VRTA710_00001234_wifi.txt"});
    EXPECT_EQ(result.path, file);
    EXPECT_EQ(result.functions, kDefaultFunctions);
    EXPECT_EQ(Sent(), ReadsUpTo());
    EXPECT_EQ(sink.Text(), "Saved WiFi registers\r\nVRTA710_00001234_WIFI.TXT");
}

// The first register that cannot be read ends the run and is named; the earlier backup under the
// same name is kept as it was, and nothing else is left in its folder.
TEST_F(ServiceOperation, ReadAllStopsAtTheFirstRegisterItCannotRead)
{
    const struct {
        int failing;
        std::string said;
        RC code;
        std::optional<SimFaultRule> fault;
        std::optional<Bytes> held = std::nullopt;
    } cases[] = {
        {0x03, "ERROR reading register 3h", RC::NoFrame, On(0x03, SimFault::Silence)},
        {0x1F, "ERROR reading register 1Fh", RC::Busy, On(0x1F, SimFault::Busy)},    // the last before the functions
        {0x21, "ERROR reading register 21h", RC::NotOk, On(0x21, SimFault::NotOk)},  // the first after them
        {0x40, "ERROR reading register 40h", RC::NoFrame, On(0x40, SimFault::Nak)},
        // A refusal in a bare status is never saved as an empty password.
        {0x11, "ERROR reading register 11h", RC::NotOk, On(0x11, SimFault::Scripted).WithBytes(Acked(Text("1")))},
        {0x10, "ERROR reading register 10h", RC::Malformed, std::nullopt, Text("a\r\nb")},  // a line end inside a name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        Fresh(c.fault);
        sim.Wifi() = SimWifiModule();
        if (c.held)
            sim.Wifi().SetRegister(c.failing, *c.held);
        const std::string file = WriteFileText(Path("VRTA710_00001234_wifi.txt"), kEarlierBackup);
        Choose(file);
        const RegisterFileResult result = ReadAllRegisters(context);
                EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.reason, c.said);
        EXPECT_EQ(sink.Text(), c.said);
        EXPECT_EQ(result.failedRegister, c.failing);
        EXPECT_EQ(result.functions, c.failing > 0x20 ? std::optional(kDefaultFunctions) : std::nullopt);
        EXPECT_EQ(Sent(), ReadsUpTo(c.failing));
        EXPECT_EQ(ReadFileText(file), kEarlierBackup);
        EXPECT_EQ(Files(), std::vector<std::string>{"VRTA710_00001234_wifi.txt"});
    }
}

// The lines after the first go back to the module in file order (which line sends what:
// RegisterFileLine). A file with a line that cannot be sent changes nothing, the log saying which
// line it is (blank lines count) and why; the first write the module does not take ends the run.
TEST_F(ServiceOperation, WriteAllSendsTheLinesOfAFile)
{
    const std::string none = "\r\nnessuna scrittura ai registri";
    const std::string three = "head\r\n10h A\r\n12h 1.2.3.4\r\n17h 80\r\n";
    const std::vector<Bytes> all{Write(0x10, Text("A")), Write(0x12, {1, 2, 3, 4}), Write(0x17, Text("80"))};
    const struct {
        std::string lines;
        std::vector<Bytes> sent;
        RC code;
        std::string log;
        std::string reason = "";
        std::optional<SimFaultRule> fault = std::nullopt;
    } cases[] = {
        {"12h 1.1.1.1\r\n03h 9600\n0Ah x\r04h WM 9\r\n\r\n20h 0.0.17.1\r\n12h 10\r\n2Bh x\r\n25h 10.0.0.7",
         {Write(0x03, Text("9600")), Write(0x20, {0, 0, 17, 1}), Write(0x12, {10, 10, 10, 10}), Write(0x2B, Text("x")),
          Write(0x25, {10, 0, 0, 7})},
         RC::Ok, "Write #5 WiFi registers"},
        {"head\n10h before\r\n\n28h " + std::string(50, 'v') + "\r\n17h 81\r\n", {}, RC::Refused,
         "Line 4, register 28h: 50 characters, at most 49 can be sent" + none},
        {three, {all[0]}, RC::NotOk, "Writing register 10h",
         "writing register 10h failed: the instrument answered not OK (Rx: 06010531BF0A04)", On(0x10, SimFault::NotOk)},
        {three, {all[0], all[1]}, RC::NoFrame, "Writing register 12h",
         "writing register 12h failed: no complete answer (Serial error)", On(0x12, SimFault::Silence)},
        {three, all, RC::NoFrame, "Writing register 17h", "writing register 17h failed: the instrument answered NAK",
         On(0x17, SimFault::Nak)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        Fresh(c.fault);
        Choose(WriteFileText(Path("mine_wifi.txt"), c.lines));
        const RegisterFileResult result = WriteAllRegisters(context);
        EXPECT_EQ(Sent(), c.sent);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(sink.Text(), c.log);
        EXPECT_EQ(result.reason, c.sent.empty() ? c.log : c.reason);
        EXPECT_EQ(result.written, static_cast<int>(c.sent.size()) - (c.fault ? 1 : 0));
        EXPECT_EQ(result.failedRegister, c.fault ? std::optional<int>(c.sent.back()[1]) : std::nullopt);
    }
}

// Runs that end before anything is sent and without a word in the log still say why.
TEST_F(ServiceOperation, AQuietEndSaysWhy)
{
    const std::string big = WriteFileBytes(Path("big_wifi.txt"), Bytes((1 << 20) + 1, 'x'));
    const std::string limit = WriteFileBytes(Path("limit_wifi.txt"), Bytes(1 << 20, 'x'));
    const std::string missingFolder = Path("no/such/folder/x_wifi.txt");
    const std::string missingFile = Path("missing_wifi.txt");
    const std::string enoent = std::strerror(ENOENT);
    const struct {
        std::function<OperationResult(OperationContext&)> run;
        std::optional<std::string> answer;
        std::string reason;
        Kind kind = Kind::None;
        int number = 0;  // of a system error, said in the interruption's description
    } cases[] = {
        {ReadAllRegisters, std::nullopt, "no register file was chosen", Kind::Declined},
        {ReadAllRegisters, "", "no register file was chosen", Kind::Declined},
        {WriteAllRegisters, std::nullopt, "no register file was chosen", Kind::Declined},
        {ReadAllRegisters, missingFolder, "the register file " + missingFolder + " cannot be created: " + enoent, Kind::SystemError,
         ENOENT},
        {WriteAllRegisters, missingFile, "the register file " + missingFile + " cannot be read: " + enoent, Kind::SystemError, ENOENT},
        {WriteAllRegisters, big, big + " is no register file: it holds more than 1048576 bytes"},
        {WriteAllRegisters, limit, ""},  // just small enough; no line of it is sent
        {[](OperationContext& c) { return WriteRegister(c, {0x12, "1.2.3.256", {}}); }, std::nullopt,
         "the value 1.2.3.256 cannot be sent to register 12h"},
        {[](OperationContext& c) { return WriteRegister(c, {0x04, "x", {}}); }, std::nullopt,
         "register 04h is not in the register list for writing"},
        {[](OperationContext& c) { return ReadRegister(c, {0x00}); }, std::nullopt,
         "register 00h is not in the register list for reading"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        Fresh();
        Choose(c.answer);
        const OperationResult result = c.run(context);
        EXPECT_EQ(result.code, c.reason.empty() ? RC::Ok : RC::Refused);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_EQ(result.interruption.kind, c.kind);
        EXPECT_EQ(result.interruption.number, c.number);
        EXPECT_EQ(result.interruption.description, c.number ? enoent : "");
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(sink.Text(), c.reason.empty() ? "Write #0 WiFi registers" : "");
        EXPECT_EQ(Files(), (std::vector<std::string>{"big_wifi.txt", "limit_wifi.txt"}));
    }
}

// Stop (Ctrl-C on the command line, the window closing) ends a register file run before the next
// register, and leaves no file where none was; the port missing ends any run before a byte is sent.
TEST_F(ServiceOperation, StopAndAMissingPortEndARun)
{
    const std::string file = WriteFileText(Path("stop_wifi.txt"), "head\r\n10h A\r\n12h 1.2.3.4\r\n");
    for (const bool save : {true, false}) {
        SCOPED_TRACE(save ? "read-all" : "write-all");
        Fresh();
        sink.stop = [this] { return sim.Requests().size() >= 2; };  // once the first register has gone out
        Choose(save ? Path("new_wifi.txt") : file);
        const RegisterFileResult result = save ? ReadAllRegisters(context) : WriteAllRegisters(context);
        EXPECT_EQ(result.interruption.kind, Kind::Stopped);
        EXPECT_EQ(result.code, RC::Refused);
        EXPECT_EQ(Sent(), (std::vector<Bytes>{save ? Bytes{'1', 0x03} : Write(0x10, Text("A"))}));
        EXPECT_EQ(sink.Text(), save ? "Reading register 3h" : "Writing register 10h");
        EXPECT_EQ(Files(), std::vector<std::string>{"stop_wifi.txt"});
    }

    Fresh();
    port.SetExistingPorts({});
    const OperationResult missing = SwitchWifiModule(context, {true});
    EXPECT_EQ(missing.interruption.kind, Kind::PortMissing);
    EXPECT_EQ(missing.code, RC::NoFrame);
    EXPECT_EQ(missing.reason, " Serial error !!\r\n\r\n  Check connection.");
    EXPECT_TRUE(sim.Requests().empty());
}

// Set of the calibration date: every box checked (rewritten with two digits, each wrong one said),
// then the model; year, month and day written and read back, then the commit.
TEST_F(ServiceOperation, CalibrationDateSetChecksWritesAndCommits)
{
    const std::string allWrong = "Wrong  DAY  value ...  [1-31]\r\nWrong  MOUTH  value ...  [1-12]\r\n"
                                 "Wrong  YEAR  value ...  [13-50]\r\n";
    const std::string done = "Calibration DATE  updated";
    const std::string updated = "(i) DATE UPDATED: Calibration DATE  updated !!!";
    const std::string fails = "(i) SERIAL ERROR: Updating parameter FAILS";
    const struct {
        const char* model;
        DateTexts typed;
        DateTexts boxes;  // afterwards
        RC code;
        std::string log;
        std::vector<Bytes> sent;
        std::string notice;
        std::optional<SimFaultRule> fault = std::nullopt;
    } cases[] = {
        {"VRTA710", {"7", "3", "24"}, {"07", "03", "24"}, RC::Ok, done, DateWrites("7", "3", "24"), updated},
        {"QSLUM", {"31", "12", "50"}, {"31", "12", "50"}, RC::Ok, done, DateWrites("31", "12", "50"), updated},
        {"GRP4917", {"1", "1", "13"}, {"01", "01", "13"}, RC::Ok, done, DateWrites("1", "1", "13"), updated},
        {"VRTA710", {"6.5", "2.5", "23.5"}, {"06", "02", "24"}, RC::Ok, done, DateWrites("6", "2", "24"), updated},
        {"VRTA710", {"0", "13", "2024"}, {"00", "13", "2024"}, RC::Refused, allWrong, {}, ""},
        {"VRTA710", {"32", "0", "12"}, {"32", "00", "12"}, RC::Refused, allWrong, {}, ""},
        {"VRTA710", {"1", "1", "51"}, {"01", "01", "51"}, RC::Refused, "Wrong  YEAR  value ...  [13-50]\r\n", {}, ""},
        {"VRTA710", {"abc", "", "-3"}, {"00", "00", "-03"}, RC::Refused, allWrong, {}, ""},  // no number reads 0
        {"ZJ553903", {"0", "3", "24"}, {"00", "03", "24"}, RC::Refused, "Wrong  DAY  value ...  [1-31]\r\n", {}, ""},
        {"ZJ553903", {"7", "3", "24"}, {"07", "03", "24"}, RC::Refused, "Device: ZJ553903\r\n\r\nWRONG DEVICE...", {}, ""},
        // Every write is made whatever the one before gave; nothing is committed after a failure.
        {"VRTA710", {"7", "3", "24"}, {"07", "03", "24"}, RC::ReadBackDiffers, "", DateWrites("7", "3", "24", false),
         fails, SimFaultRule::Command('i', SimFault::NotOk).Target(6, 6)},
        {"VRTA710", {"7", "3", "24"}, {"07", "03", "24"}, RC::NotOk, "", DateWrites("7", "3", "24"), fails,
         SimFaultRule::Command('r', SimFault::NotOk)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model + (" " + c.typed.day + "/" + c.typed.month + "/" + c.typed.year));
        Fresh(c.fault);
        sim.SetIdentity({c.model});
        const int commits = sim.Commits();
        const CalibrationDateResult result = SetCalibrationDate(context, {catalogue, c.typed});
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.date, c.boxes);
        EXPECT_EQ(sink.Text(), c.log);
        EXPECT_EQ(Sent(), c.sent);
        std::string notices;
        for (const Notice& n : sink.notices)
            notices += (n.icon == MsgIcon::Information ? "(i) " : "") + n.title + ": " + n.text;
        EXPECT_EQ(notices, c.notice);
        EXPECT_EQ(sim.Commits() - commits, c.code == RC::Ok ? 1 : 0);
        EXPECT_EQ(result.reason.empty(), c.code == RC::Ok);
    }
}

// Get reads day, month and year (shown without leading zeros) and stops silently at the first read
// that fails. The commit of a Set comes half a second after the last read-back.
TEST_F(ServiceOperation, CalibrationDateGetShowsWhatTheInstrumentHolds)
{
    std::vector<double> at;  // when each request reached the instrument, in virtual time
    host.SetOnYield([&] { at.resize(sim.Requests().size(), host.Now()); });
    ASSERT_TRUE(SetCalibrationDate(context, {catalogue, {"5", "9", "31"}}).ok()) << sink.Text();
    ASSERT_EQ(at.size(), 8u);
    EXPECT_GE(at[7] - at[6], 0.5);
    EXPECT_LT(at[7] - at[6], 0.6);
    host.SetOnYield({});

    const std::vector<Bytes> reads{ParamRead(5), ParamRead(6), ParamRead(7)};
    const struct {
        const char* model;
        std::optional<SimFaultRule> fault;
        RC code;
        std::optional<DateTexts> boxes;
        long sent;
        std::string log = "";
    } cases[] = {
        {"QMX-ARN+", std::nullopt, RC::Ok, DateTexts{"5", "9", "31"}, 3},
        {"VRTA710", SimFaultRule::Command('l', SimFault::NotOk).Target(6, 6), RC::NotOk, DateTexts{"5", "", ""}, 2},
        {"VRTA710", SimFaultRule::Command('l', SimFault::Busy).Target(5, 5), RC::Busy, DateTexts{"", "", ""}, 1},
        {"VRTA710", SimFaultRule::Command('l', SimFault::GarbageBeforeAck).Target(7, 7), RC::Malformed,
         DateTexts{"5", "9", ""}, 3},
        {"ZJ553903", std::nullopt, RC::Refused, std::nullopt, 0, "Device: ZJ553903\r\n\r\nWRONG DEVICE..."},
        {"VRTA710", SimFaultRule::Any(SimFault::Silence), RC::NoFrame, std::nullopt, 0,
         " Serial error !!\r\n\r\n  Check connection."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model + c.log);
        Fresh(c.fault);
        sim.SetIdentity({c.model});
        const CalibrationDateResult result = GetCalibrationDate(context, {catalogue, {"x", "x", "x"}});
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.date, c.boxes);
        EXPECT_EQ(Sent(), std::vector<Bytes>(reads.begin(), reads.begin() + c.sent));
        EXPECT_EQ(sink.Text(), c.log);
        EXPECT_TRUE(sink.notices.empty());
    }
}
