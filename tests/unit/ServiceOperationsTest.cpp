// The Service tab's operations without the window, in virtual time: what each gives back besides
// the log (the register a run stopped at, the registers written, the file, the function boxes, why
// a run ended without a word) and which file it asks for. What the tab shows of them: the flow
// tests WifiRegister, RegisterFile, CalibrationDate and ServicePanel.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/ResultCodes.h"
#include "link/InstrumentModels.h"
#include "service/CalibrationDate.h"
#include "service/ServiceOperations.h"
#include "support/Files.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDialogs.h"
#include "support/SimTestHelpers.h"
#include "support/TempFolder.h"

using namespace simtest;
namespace fs = std::filesystem;

namespace {

using Kind = Interruption::Kind;

class ServiceOperation : public SimRigTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.ok());
        sim.SetIdentity({"VRTA710"});
        link.CommPortNumber = 1;
        link.BaudText = "115200";
    }
    std::string Path(const std::string& name) const { return folder.Path(name); }
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
    void Fresh()
    {
        sim.ClearRecord();
        sim.ClearFaults();
        sink = RecordingSink();
        host.RunUntil(host.Now() + 2.0);  // a late answer is over
    }

    TempFolder folder;
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    RecordingSink sink;
    OperationContext context{link, sink, "/the/program/folder"};
};

// The default module's functions 0.0.17.1: MQTT, station and AP on, TCP off (chkFunc 0..3).
const FunctionBoxes kDefaultFunctions{true, false, true, true};

}  // namespace

TEST_F(ServiceOperation, ReadAllSaysWhichFileAndWhereItStopped)
{
    const struct {
        const char* story;
        std::optional<SimFaultRule> fault;
        ResultCode code;
        std::optional<int> failed;
        std::optional<FunctionBoxes> functions;
        std::string reason;
    } cases[] = {
        {"every register", std::nullopt, ResultCode::Ok, std::nullopt, kDefaultFunctions, ""},
        {"the first register silent", SimFaultRule::WifiRegister(0x03, SimFault::Silence), ResultCode::NoFrame, 0x03,
         std::nullopt, "ERROR reading register 3h"},
        {"the one before the functions", SimFaultRule::WifiRegister(0x1F, SimFault::Busy), ResultCode::Busy, 0x1F,
         std::nullopt, "ERROR reading register 1Fh"},
        {"the one after the functions", SimFaultRule::WifiRegister(0x21, SimFault::NotOk), ResultCode::NotOk, 0x21,
         kDefaultFunctions, "ERROR reading register 21h"},
        {"the last", SimFaultRule::WifiRegister(0x40, SimFault::Nak), ResultCode::NoFrame, 0x40, kDefaultFunctions,
         "ERROR reading register 40h"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        Fresh();
        if (c.fault)
            sim.AddFault(*c.fault);
        fs::remove(FsPath(Path("VRTA710_00001234_wifi.txt")));
        Choose(Path("VRTA710_00001234_wifi.txt"));
        const RegisterFileResult result = ReadAllRegisters(context);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.failedRegister, c.failed);
        EXPECT_EQ(result.functions, c.functions);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_FALSE(result.interruption.happened());
        EXPECT_EQ(result.path, Path("VRTA710_00001234_wifi.txt"));
        EXPECT_EQ(fs::exists(FsPath(result.path)), c.code == ResultCode::Ok);
        ASSERT_EQ(sink.asked.size(), 1u);
        const auto* asked = std::get_if<question::SaveRegisterFile>(&sink.asked[0]);
        ASSERT_NE(asked, nullptr);
        EXPECT_EQ(asked->folder, "/the/program/folder");
        EXPECT_EQ(asked->suggestedName, "VRTA710_00001234_wifi.txt");
        EXPECT_FALSE(link.IsOpen());
    }
}

TEST_F(ServiceOperation, WriteAllSaysHowManyItWroteAndWhereItStopped)
{
    const std::string file = WriteFileText(Path("mine_wifi.txt"), "head\r\n10h A\r\n12h 1.2.3.4\r\n17h 80\r\n");
    const struct {
        const char* story;
        std::optional<SimFaultRule> fault;
        ResultCode code;
        int written;
        std::optional<int> failed;
        std::string reason;
    } cases[] = {
        {"every line", std::nullopt, ResultCode::Ok, 3, std::nullopt, ""},
        {"the first refused", SimFaultRule::WifiRegister(0x10, SimFault::NotOk), ResultCode::NotOk, 0, 0x10,
         "writing register 10h failed: the instrument answered not OK (Rx: 06010531BF0A04)"},
        {"the second unanswered", SimFaultRule::WifiRegister(0x12, SimFault::Silence), ResultCode::NoFrame, 1, 0x12,
         "writing register 12h failed: no complete answer (Serial error)"},
        {"the last NAK", SimFaultRule::WifiRegister(0x17, SimFault::Nak), ResultCode::NoFrame, 2, 0x17,
         "writing register 17h failed: the instrument answered NAK"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        Fresh();
        if (c.fault)
            sim.AddFault(*c.fault);
        Choose(file);
        const RegisterFileResult result = WriteAllRegisters(context);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.written, c.written);
        EXPECT_EQ(result.failedRegister, c.failed);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_EQ(result.path, file);
        EXPECT_EQ(Sent().size(), static_cast<std::size_t>(c.written + (c.failed ? 1 : 0)));
        ASSERT_EQ(sink.asked.size(), 1u);
        const auto* asked = std::get_if<question::LoadRegisterFile>(&sink.asked[0]);
        ASSERT_NE(asked, nullptr);
        EXPECT_EQ(asked->folder, "/the/program/folder");
    }
}

// A register file in a folder named in the technician's language: read-all puts the new file in
// place of the earlier backup there, and write-all sends it back.
TEST_F(ServiceOperation, RegisterFilesInAFolderNamedWithAccentedLetters)
{
    const std::string folder = Path("Modulo Wi-Fi \xC3\xA8 qui");
    ASSERT_TRUE(fs::create_directory(FsPath(folder)));
    const std::string file = WriteFileText(folder + "/VRTA710_00001234_wifi.txt", "an earlier backup\r\n");
    Choose(file);
    const RegisterFileResult saved = ReadAllRegisters(context);
    ASSERT_TRUE(saved.ok()) << sink.Text();
    EXPECT_EQ(saved.path, file);
    EXPECT_EQ(FileNamesIn(folder), std::vector<std::string>{"VRTA710_00001234_wifi.txt"});
    const Bytes content = ReadFileBytes(file);
    EXPECT_GT(content.size(), 100u);
    EXPECT_EQ(std::string(content.begin(), content.end()).find("an earlier backup"), std::string::npos);

    Fresh();
    Choose(file);
    const RegisterFileResult loaded = WriteAllRegisters(context);
    ASSERT_TRUE(loaded.ok()) << sink.Text();
    EXPECT_GT(loaded.written, 0);
    EXPECT_EQ(Sent().size(), static_cast<std::size_t>(loaded.written));
}

// Runs that end before anything is sent and without a word in the log still say why.
TEST_F(ServiceOperation, AQuietEndSaysWhy)
{
    const std::string big = WriteFileBytes(Path("big_wifi.txt"), Bytes((1 << 20) + 1, 'x'));
    const std::string limit = WriteFileBytes(Path("limit_wifi.txt"), Bytes(1 << 20, 'x'));
    const std::string missingFolder = Path("no/such/folder/x_wifi.txt");
    const std::string missingFile = Path("missing_wifi.txt");
    using Op = std::function<OperationResult(OperationContext&)>;
    const Op readAll = [](OperationContext& c) { return ReadAllRegisters(c); };
    const Op writeAll = [](OperationContext& c) { return WriteAllRegisters(c); };
    const struct {
        const char* story;
        Op run;
        std::optional<std::string> answer;
        ResultCode code;
        Interruption interruption;
        std::string reason;
        std::string log = "";
    } cases[] = {
        {"save cancelled", readAll, std::nullopt, ResultCode::Refused, {Kind::Declined, 0, ""},
         "no register file was chosen"},
        {"save with no name", readAll, "", ResultCode::Refused, {Kind::Declined, 0, ""}, "no register file was chosen"},
        {"load cancelled", writeAll, std::nullopt, ResultCode::Refused, {Kind::Declined, 0, ""},
         "no register file was chosen"},
        {"folder missing", readAll, missingFolder, ResultCode::Refused, {Kind::SystemError, ENOENT, std::strerror(ENOENT)},
         "the register file " + missingFolder + " cannot be created: " + std::strerror(ENOENT)},
        {"file missing", writeAll, missingFile, ResultCode::Refused, {Kind::SystemError, ENOENT, std::strerror(ENOENT)},
         "the register file " + missingFile + " cannot be read: " + std::strerror(ENOENT)},
        {"a file too large", writeAll, big, ResultCode::Refused, {}, big + " is no register file: it holds more than 1048576 bytes"},
        {"a file just small enough", writeAll, limit, ResultCode::Ok, {}, "", "Write #0 WiFi registers"},
        {"a value that cannot be sent", [](OperationContext& c) { return WriteRegister(c, {0x12, "1.2.3.256", {}}); },
         std::nullopt, ResultCode::Refused, {}, "the value 1.2.3.256 cannot be sent to register 12h"},
        {"a register the list does not offer", [](OperationContext& c) { return WriteRegister(c, {0x33, "x", {}}); },
         std::nullopt, ResultCode::Refused, {}, "register 33h is not in the register list for writing"},
        {"a register the list offers for reading only", [](OperationContext& c) { return WriteRegister(c, {0x04, "x", {}}); },
         std::nullopt, ResultCode::Refused, {}, "register 04h is not in the register list for writing"},
        {"a register the list offers for writing only", [](OperationContext& c) { return ReadRegister(c, {0x00}); },
         std::nullopt, ResultCode::Refused, {}, "register 00h is not in the register list for reading"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        Fresh();
        Choose(c.answer);
        const OperationResult result = c.run(context);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.interruption.kind, c.interruption.kind);
        EXPECT_EQ(result.interruption.number, c.interruption.number);
        EXPECT_EQ(result.interruption.description, c.interruption.description);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(sink.Text(), c.log);
        EXPECT_EQ(FileNamesIn(folder.Path()), (std::vector<std::string>{"big_wifi.txt", "limit_wifi.txt"}));
    }
}

// Stop (Ctrl-C on the command line) or the window closing ends a register file run before the next
// register; the port missing ends any run before a byte is sent.
TEST_F(ServiceOperation, StopAndAMissingPortEndARun)
{
    const std::string file = WriteFileText(Path("stop_wifi.txt"), "head\r\n10h A\r\n12h 1.2.3.4\r\n");
    // Stop comes once the first register has gone out.
    sink.stop = [this] { return sim.Requests().size() >= 2; };
    Choose(file);
    RegisterFileResult result = WriteAllRegisters(context);
    EXPECT_EQ(result.interruption.kind, Kind::Stopped);
    EXPECT_EQ(result.code, ResultCode::Refused);
    EXPECT_EQ(Sent(), (std::vector<Bytes>{Cat({'0', 0x10}, Text("A"))}));
    EXPECT_EQ(sink.Text(), "Writing register 10h");

    Fresh();
    port.SetExistingPorts({});
    for (const auto& run : {std::function<OperationResult()>([&] { return ReadRegister(context, {0x12}); }),
                            std::function<OperationResult()>([&] { return SwitchWifiModule(context, {true}); })}) {
        const OperationResult missing = run();
        EXPECT_EQ(missing.interruption.kind, Kind::PortMissing);
        EXPECT_EQ(missing.code, ResultCode::NoFrame);
        EXPECT_EQ(missing.reason, " Serial error !!\r\n\r\n  Check connection.");
        EXPECT_TRUE(sim.Requests().empty());
    }
}

// A single read gives the value a value box shows, the reply the log shows and, for the functions
// register, the ticks of the function boxes.
TEST_F(ServiceOperation, ReadGivesValueReplyAndFunctions)
{
    const struct {
        int n;
        std::optional<SimFaultRule> fault;
        std::optional<std::string> value;
        std::string reply;
        std::optional<FunctionBoxes> functions;
    } cases[] = {
        {0x04, std::nullopt, "WM 2.4.1", "WM 2.4.1", std::nullopt},
        {0x12, std::nullopt, "192.168.4.1", "", std::nullopt},
        {0x20, std::nullopt, "0.0.17.1",
         "1 Enable MQTT connection\r\n1 Enable station Wi-Fi functionality\r\n0 Enable TCP socket\r\n"
         "1 Enable AP Wi-Fi functionality\r\n",
         kDefaultFunctions},
        {0x20, SimFaultRule::WifiRegister(0x20, SimFault::Busy), "", "Busy ...", std::nullopt},
        {0x12, SimFaultRule::WifiRegister(0x12, SimFault::Silence), " NO EOT", "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        Fresh();
        if (c.fault)
            sim.AddFault(*c.fault);
        const RegisterReadResult result = ReadRegister(context, {c.n});
        EXPECT_EQ(result.value, c.value);
        EXPECT_EQ(result.reply, c.reply);
        EXPECT_EQ(result.functions, c.functions);
    }
    // A model without the module: nothing read, so nothing for the value box.
    Fresh();
    sim.SetIdentity({"VRTA708"});
    const RegisterReadResult refused = ReadRegister(context, {0x12});
    EXPECT_EQ(refused.value, std::nullopt);
    EXPECT_EQ(refused.reason, "Wifi not avalable for VRTA708 device");
    EXPECT_TRUE(Sent().empty());
}

// The date the boxes show after each way a Get or Set ends, and the notice of a Set.
TEST_F(ServiceOperation, CalibrationDateGivesTheBoxesAndTheNotice)
{
    ParamCatalogue catalogue;
    catalogue.LoadFamily(ParamFamilies().front().entry);
    sim.SetParam(5, "12");
    sim.SetParam(6, "4");
    sim.SetParam(7, "25");
    const Notice updated{MsgIcon::Information, "DATE UPDATED", "Calibration DATE  updated !!!"};
    const Notice fails{MsgIcon::Information, "SERIAL ERROR", "Updating parameter FAILS"};
    using Op = std::function<CalibrationDateResult(OperationContext&, const CalibrationDateRequest&)>;
    const Op get = GetCalibrationDate;
    const Op set = SetCalibrationDate;
    const struct {
        const char* story;
        Op run;
        DateTexts typed;
        std::optional<SimFaultRule> fault;
        const char* model;
        ResultCode code;
        std::optional<DateTexts> date;
        std::vector<Notice> notices;
    } cases[] = {
        {"get, month busy", get, {"x", "x", "x"}, SimFaultRule::Command('l', SimFault::Busy).Target(6, 6), "VRTA710",
         ResultCode::Busy, DateTexts{"12", "", ""}, {}},
        {"get, wrong model", get, {"x", "x", "x"}, std::nullopt, "ZJ553903", ResultCode::Refused, std::nullopt, {}},
        {"get, no instrument", get, {"x", "x", "x"}, SimFaultRule::Any(SimFault::Silence), "VRTA710", ResultCode::NoFrame,
         std::nullopt, {}},
        {"set", set, {"7", "3", "24"}, std::nullopt, "VRTA710", ResultCode::Ok, DateTexts{"07", "03", "24"}, {updated}},
        {"set, commit refused", set, {"7", "3", "24"}, SimFaultRule::Command('r', SimFault::NotOk), "VRTA710",
         ResultCode::NotOk, DateTexts{"07", "03", "24"}, {fails}},
        {"set, wrong values", set, {"0", "3", "2024"}, std::nullopt, "VRTA710", ResultCode::Refused,
         DateTexts{"00", "03", "2024"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        Fresh();
        sim.SetIdentity({c.model});
        if (c.fault)
            sim.AddFault(*c.fault);
        const CalibrationDateResult result = c.run(context, {catalogue, c.typed});
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.date, c.date);
        ASSERT_EQ(sink.notices.size(), c.notices.size());
        for (std::size_t i = 0; i < c.notices.size(); ++i) {
            EXPECT_EQ(sink.notices[i].title, c.notices[i].title);
            EXPECT_EQ(sink.notices[i].text, c.notices[i].text);
            EXPECT_EQ(sink.notices[i].icon, c.notices[i].icon);
        }
        EXPECT_EQ(result.reason.empty(), c.code == ResultCode::Ok);
    }
}
