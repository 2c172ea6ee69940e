#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ServiceRig.h"
#include "sim/SimWifiModule.h"
#include "support/SimTestHelpers.h"

namespace {

struct WifiRegister : ServiceFlow {
    void SetUp() override
    {
        Start();
        Command("WiFi register");
    }
    // The hex of the module's answer around `payload`.
    static std::string Answered(const Bytes& payload) { return BytesToHex(simtest::Acked(payload)); }
};

using simtest::Text;

const std::string kStatusRule = "--------------------\r\n";

}  // namespace

// Get of one register: the value box (when shown) takes the value, the log the reply.
TEST_F(WifiRegister, GetShowsTheDecodedValue)
{
    const struct {
        const char* entry;
        std::optional<Bytes> held;  // what the module holds, when not its default
        const char* value;          // the value box afterwards
        std::string log;
        const char* functions = "0000";  // chkFunc 3..0
    } cases[] = {
        {"0x03", std::nullopt, "1152", ""},
        {"0x04", std::nullopt, "", "WM 2.4.1"},
        {"0x09", Text("3"), "3", "Authentication mode: 3 AUTH_WPA2_PSK"},
        {"0x09", Text("7"), "7", "Authentication mode: 7 "},
        {"0x0F", std::nullopt, "", "70:B3:D5:1A:20:01"},
        {"0x10", Text("Rete ospiti"), "Rete ospiti", ""},
        {"0x11", Text(""), "", "nessuna password"},
        {"0x11", Text("x"), "x", ""},
        {"0x12", Bytes{192, 168, 4, 1}, "192.168.4.1", ""},
        {"0x17", Text("8080"), "8080", ""},
        {"0x20", Bytes{0, 0, 0x11, 0x01}, "",
         "1 Enable MQTT connection\r\n1 Enable station Wi-Fi functionality\r\n0 Enable TCP socket\r\n"
         "1 Enable AP Wi-Fi functionality\r\n", "1101"},
        {"0x20", Bytes{0xFF, 0xFF, 0xEE, 0x10}, "",
         "0 Enable MQTT connection\r\n0 Enable station Wi-Fi functionality\r\n1 Enable TCP socket\r\n"
         "0 Enable AP Wi-Fi functionality\r\n", "0010"},
        {"0x21", Text("2"), "2", ""},
        // The status register: its description leads with its value (the lines are the decoder's).
        {"0x40", Bytes{0x80, 0, 0, 0}, "", "128.0.0.0\r\n" + kStatusRule + "1 Warn.: FIFOs reset, data may have been lost\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        Register(c.entry);
        const int n = std::stoi(std::string(c.entry).substr(2), nullptr, 16);
        if (c.held)
            rig.instrument.Wifi().SetRegister(n, *c.held);
        for (int i = 0; i < 4; ++i)
            Function(i).setChecked(i == 1);  // the opposite of most answers
        Type("old");
        Get();
        EXPECT_EQ(Sent(), (std::vector<Bytes>{{'1', static_cast<std::uint8_t>(n)}}));
        EXPECT_EQ(Value(), Shown(ValueBox()) ? c.value : "old");
        EXPECT_EQ(n == 0x40 ? Log().substr(0, c.log.size()) : Log(), c.log);
        EXPECT_EQ(Functions(), n == 0x20 ? c.functions : "0010");
        EXPECT_EQ(State(), kIdle);
    }
}

// What comes back when the module or the line misbehaves.
TEST_F(WifiRegister, GetReportsEveryKindOfFailure)
{
    const Bytes nak{0x15};
    const struct {
        const char* story;
        const char* entry;
        std::optional<SimFaultRule> fault;
        std::optional<Bytes> held;
        const char* value;
        std::string log;
    } cases[] = {
        {"silence", "0x12", SimFaultRule::WifiRegister(0x12, SimFault::Silence), std::nullopt, " NO EOT", "\r\nRx: "},
        {"silence, no value box", "0x04", SimFaultRule::WifiRegister(0x04, SimFault::Silence), std::nullopt, "",
         "\r\nRx: "},
        {"NAK", "0x10", SimFaultRule::WifiRegister(0x10, SimFault::Nak), std::nullopt, " NO EOT", "\r\nRx: 15"},
        {"busy", "0x12", SimFaultRule::WifiRegister(0x12, SimFault::Busy), std::nullopt, "", "Busy ..."},
        {"not OK", "0x10", SimFaultRule::WifiRegister(0x10, SimFault::NotOk), std::nullopt, "", "NO OK !!"},
        // A password's answer of one byte is its refusal when that byte says so.
        {"password not OK", "0x11", SimFaultRule::WifiRegister(0x11, SimFault::NotOk), std::nullopt, "", "NO OK !!"},
        {"password busy", "0x23", SimFaultRule::WifiRegister(0x23, SimFault::Busy), std::nullopt, "", "Busy ..."},
        {"password NAK byte", "0x11", std::nullopt, nak, "", "NAK"},
        {"password refused in a bare status", "0x23",
         SimFaultRule::WifiRegister(0x23, SimFault::Scripted).WithBytes(simtest::Acked(Text("1"))), std::nullopt, "",
         "NO OK !!"},
        {"station mode a bare OK", "0x21",
         SimFaultRule::WifiRegister(0x21, SimFault::Scripted).WithBytes(simtest::Acked(Text("0"))), std::nullopt, "",
         "Error (Rx: " + Answered(Text("0")) + ")\r\nRx: " + Answered(Text("0"))},
        {"garbage before the acknowledge", "0x10", SimFaultRule::WifiRegister(0x10, SimFault::GarbageBeforeAck),
         std::nullopt, "", "Error (Rx: FF55" + Answered(Bytes{'0', 'V', 'E', 'R', 'T', 'A', '_', 'A', 'P'}) +
                               ")\r\nRx: FF55" + Answered(Bytes{'0', 'V', 'E', 'R', 'T', 'A', '_', 'A', 'P'})},
        {"no EOT", "0x12", SimFaultRule::WifiRegister(0x12, SimFault::MissingEot), std::nullopt, " NO EOT",
         "\r\nRx: " + Answered(Bytes{'0', 192, 168, 4, 1}).substr(0, 20) + "00"},
        {"mode not a digit", "0x09", std::nullopt, Text("x"), "",
         "Error (Rx: " + Answered(Text("0x")) + ")\r\nRx: " + Answered(Text("0x"))},
        {"address without data", "0x25", std::nullopt, Bytes{}, "",
         "Error (Rx: " + Answered(Text("0")) + ")\r\nRx: " + Answered(Text("0"))},
        {"speed that is no number", "0x03", std::nullopt, Text("fast"), "",
         "Error (Rx: " + Answered(Text("0fast")) + ")\r\nRx: " + Answered(Text("0fast"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        SimInstrument fresh;
        rig.instrument.ClearFaults();
        rig.instrument.Wifi() = fresh.Wifi();
        if (c.fault)
            rig.instrument.AddFault(*c.fault);
        Register(c.entry);
        const int n = std::stoi(std::string(c.entry).substr(2), nullptr, 16);
        if (c.held)
            rig.instrument.Wifi().SetRegister(n, *c.held);
        Type("old");
        Get();
        EXPECT_EQ(Sent(), (std::vector<Bytes>{{'1', static_cast<std::uint8_t>(n)}}));
        EXPECT_EQ(Value(), Shown(ValueBox()) ? c.value : "old");
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(State(), kIdle);
        rig.host.RunUntil(rig.host.Now() + 2.0);  // a late answer is over
    }
}

// Set of one register: the value typed (blanks removed), checked, then the bytes sent after '0' n.
TEST_F(WifiRegister, SetSendsTheCheckedValue)
{
    const std::string refused = "nessuna scrittura ai registri";
    const std::string tooLong = "troppi caratteri:  max=5\r\n" + refused;
    const std::string text99(99, 'w');
    const struct {
        const char* entry;
        std::string typed;
        std::optional<Bytes> sent;  // nothing: no request
        std::string box;            // the value box afterwards
        std::string log;
        const char* ticked = "0000";  // chkFunc 3..0
    } cases[] = {
        {"0x12", "192.168.001.010", Payload({'0', 0x12, 192, 168, 1, 10}), "192.168.001.010", ""},
        {"0x12", "1921.168.1.1", std::nullopt, "1921.168.1.1", refused},
        {"0x12", "1.2.3.4.", std::nullopt, "1.2.3.4.", refused},
        {"0x12", "1.2", Payload({'0', 0x12, 1, 2, 0, 0}), "1.2", ""},
        {"0x12", "1..3.4", Payload({'0', 0x12, 1, 0, 3, 4}), "1..3.4", ""},
        {"0x12", "1.x.3.4", std::nullopt, "1.x.3.4", refused},
        {"0x12", "1.2.3.255", Payload({'0', 0x12, 1, 2, 3, 255}), "1.2.3.255", ""},
        {"0x12", "1.2.3.256", std::nullopt, "1.2.3.256", ""},  // cannot be sent: nothing, silently
        {"0x13", " 255. 255.255.0 ", Payload({'0', 0x13, 255, 255, 255, 0}), "255.255.255.0", ""},
        {"0x25", "10.0.0.2", Payload({'0', 0x25, 10, 0, 0, 2}), "10.0.0.2", ""},
        {"0x17", "abcdef", std::nullopt, "abcdef", tooLong},
        {"0x17", "123456", std::nullopt, "123456", tooLong},
        {"0x17", "12345", TextWrite(0x17, "12345"), "12345", ""},
        {"0x17", "80a", TextWrite(0x17, "80"), "80", ""},
        {"0x17", "1234\xC3\xA9", TextWrite(0x17, "1234"), "1234", ""},  // five characters
        {"0x09", "5.5", std::nullopt, "5.5", refused},  // half to even: 6
        {"0x17", "abc", std::nullopt, "abc", refused},
        {"0x09", "3", Payload({'0', 0x09, 3}), "3", ""},
        {"0x09", "5", Payload({'0', 0x09, 5}), "5", ""},
        {"0x09", "6", std::nullopt, "6", refused},
        {"0x09", "-1", std::nullopt, "-1", refused},
        {"0x09", "x", std::nullopt, "x", refused},
        {"0x21", "4", TextWrite(0x21, "4"), "4", ""},
        {"0x21", "6", std::nullopt, "6", refused},
        {"0x10", "my net", TextWrite(0x10, "mynet"), "mynet", ""},
        {"0x10", "", std::nullopt, "", " stringa VUOTA !!"},
        {"0x10", "   ", std::nullopt, "", " stringa VUOTA !!"},
        {"0x10", text99, TextWrite(0x10, text99), text99, ""},
        {"0x10", text99 + "w", std::nullopt, text99 + "w", ""},  // too long to send: nothing, silently
        {"0x10", "caf\xC3\xA9", Payload({'0', 0x10, 'c', 'a', 'f', 0xE9}), "caf\xC3\xA9", ""},
        {"0x10", "\xE2\x82\xACuro", std::nullopt, "\xE2\x82\xACuro", ""},  // no single byte for it
        {"0x22", "Casa", TextWrite(0x22, "Casa"), "Casa", ""},
        {"0x03", "115200", TextWrite(0x03, "1152"), "115200", ""},
        {"0x03", "9600", TextWrite(0x03, "9600"), "9600", ""},
        {"0x03", "960", std::nullopt, "960", ""},
        {"0x03", "-115200", std::nullopt, "-115200", ""},
        {"0x00", "", Payload({'0', 0x00}), "", ""},
        {"0x20", "", Payload({'0', 0x20, 0, 0, 16, 1}), "", "", "1001"},
        {"0x20", "", Payload({'0', 0x20, 0, 0, 1, 16}), "", "", "0110"},
        {"0x20", "", Payload({'0', 0x20, 0, 0, 0, 0}), "", "", "0000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + " \"" + c.typed + "\"");
        Register(c.entry);
        Type(c.typed);
        for (int i = 0; i < 4; ++i)
            Function(i).setChecked(c.ticked[3 - i] == '1');
        Set();
        EXPECT_EQ(Sent(), c.sent ? std::vector<Bytes>{*c.sent} : std::vector<Bytes>{});
        EXPECT_EQ(Value(), c.box);
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(State(), kIdle);
        if (c.sent && std::string(c.entry) != "0x00") {
            const Bytes* held = rig.instrument.WifiRegister((*c.sent)[1]);
            ASSERT_NE(held, nullptr);
            const Bytes value(c.sent->begin() + 2, c.sent->end());
            // The module keeps a mode as its digit.
            EXPECT_EQ(*held, std::string(c.entry) == "0x09" ? Bytes{static_cast<std::uint8_t>('0' + value[0])} : value);
        }
    }
}

TEST_F(WifiRegister, SetReportsEveryKindOfFailure)
{
    const struct {
        const char* story;
        SimFault fault;
        std::string log;
    } cases[] = {
        {"silence", SimFault::Silence, "NO EOT\r\nRx: "},
        {"NAK", SimFault::Nak, "NO EOT\r\nRx: 15"},
        // The module's refusal is said, as a read says it.
        {"not OK", SimFault::NotOk, "NO OK !!"},
        {"busy", SimFault::Busy, "Busy ..."},
        {"NAK in the status", SimFault::NakStatus, "NAK"},
        {"no EOT", SimFault::MissingEot, "NO EOT\r\nRx: 06010530C00A00"},
        {"garbage before the acknowledge", SimFault::GarbageBeforeAck, "\r\nRx: FF5506010530C00A04"},
    };
    Register("0x17");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        rig.instrument.ClearFaults();
        rig.instrument.AddFault(SimFaultRule::WifiRegister(0x17, c.fault));
        Type("2001");
        Set();
        EXPECT_EQ(Sent(), (std::vector<Bytes>{TextWrite(0x17, "2001")}));
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(State(), kIdle);
        rig.host.RunUntil(rig.host.Now() + 2.0);
    }
}

// A model without the module is told so, in the spelling of each button, and nothing is sent.
TEST_F(WifiRegister, ModelWithoutTheModuleIsRefusedBeforeAnythingIsSent)
{
    SimIdentity identity;
    identity.name = "VRTA708";
    rig.instrument.SetIdentity(identity);
    const std::string available = "Wifi not available for VRTA708 device";
    const std::string avalable = "Wifi not avalable for VRTA708 device";
    const struct {
        const char* command;
        const char* entry;
        bool get;
        const std::string& log;
    } cases[] = {
        {"WiFi register", "0x10", true, avalable},      {"WiFi register", "0x10", false, available},
        {"WiFi register", "All registers", true, avalable}, {"WiFi register", "All registers", false, available},
        {"WiFi setting", "OFF", false, avalable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.entry + (c.get ? " Get" : " Set"));
        Command(c.command);
        Register(c.entry);
        Type("Casa");
        c.get ? Get() : Set();
        EXPECT_EQ(Log(), c.log);
        EXPECT_TRUE(Sent().empty());
        EXPECT_TRUE(rig.dialogs.fileRequests.empty()) << "no file dialog";
        EXPECT_EQ(State(), kIdle);
    }
}

TEST_F(WifiRegister, ModuleSwitchesOffAndOn)
{
    Command("WiFi setting");
    const struct {
        const char* story;
        const char* state;
        double switchOnS;
        std::optional<SimFaultRule> fault;
        std::string log;
        bool onAfter;
    } cases[] = {
        {"off", "OFF module", 2.0, std::nullopt, "OK", false},
        {"on", "ON module", 2.0, std::nullopt, "OK", true},
        {"off again", "OFF module", 2.0, std::nullopt, "OK", false},
        {"on within six seconds", "ON module", 5.9, std::nullopt, "OK", true},
        {"on too slowly", "ON module", 6.1, std::nullopt, " NO EOT\r\nRx: 06", true},
        {"off refused", "OFF module", 2.0, SimFaultRule::Command('2', SimFault::NotOk), "NO OK !!", true},
        {"off garbled", "OFF module", 2.0, SimFaultRule::Command('2', SimFault::GarbageBeforeAck),
         "Error (Rx: FF5506010530C00A04)\r\nRx: FF5506010530C00A04", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        rig.instrument.ClearFaults();
        if (c.fault)
            rig.instrument.AddFault(*c.fault);
        rig.instrument.SetWifiSwitchOnDelay(c.switchOnS);
        rig.Choose("cmbService2", c.state);
        Set();
        const std::uint8_t sub = std::string(c.state) == "ON module" ? 1 : 0;
        EXPECT_EQ(Sent(), (std::vector<Bytes>{{'2', sub}}));
        ASSERT_GE(logs.size(), 3u);
        EXPECT_EQ(logs[0], "");
        EXPECT_EQ(logs[1], "... wait ...");
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(rig.instrument.WifiModuleOn(), c.onAfter);
        EXPECT_EQ(State(), kIdle);
        rig.host.RunUntil(rig.host.Now() + 8.0);
    }
}
