// The link on a scripted port: reopening, the bootloader's acknowledge rules, overruns and stray
// bytes; the hint for ports refused for lack of permission.
#include <gtest/gtest.h>

#include <optional>

#include "link/Frames.h"
#include "link/PortAccess.h"
#include "link/SerialLink.h"
#include "sim/VirtualHost.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedPort.h"

namespace {

struct SerialLinkTest : ::testing::Test {
    ScriptedPort port;
    VirtualHost host;
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
};

// A port refused for lack of permission (a group given) or held by another program (none).
PortOpenResult Refused(const std::string& device, std::optional<std::string> group = std::nullopt)
{
    PortOpenResult result{PortOpenResult::Kind::Failed, 2, "Permission denied"};
    result.accessDenied = group.has_value();
    result.device = device;
    result.deviceGroup = group.value_or("");
    return result;
}

}  // namespace

TEST_F(SerialLinkTest, InitSerialeReopensAnOpenPortWithNewSettings)
{
    ASSERT_EQ(link.InitSeriale(1, "115200"), 0);
    ASSERT_EQ(link.InitSeriale(1, "57600"), 0);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.closes, 1);
    EXPECT_EQ(port.opens, (std::vector<std::string>{"115200,N,8,1", "57600,N,8,1"}));
    EXPECT_EQ(link.Rx.RxBuffer.size(), 301u);
    EXPECT_DOUBLE_EQ(host.Now(), 0.5) << "two opens, 0.05 s + 0.2 s each";
    link.CloseSeriale();
    EXPECT_FALSE(port.IsOpen());
}

// When the bootloader's acknowledge counts: straight from the board 0x79 after anything but 0x1F,
// through the instrument 0x79 as the third byte after its ACK.
TEST_F(SerialLinkTest, BootAckRuleDirectAndTunnel)
{
    const struct { const char* story; bool tunnel; std::vector<Bytes> bursts; std::vector<bool> ackAfter; } cases[] = {
        {"direct: 0x79 0x00 0x79 sets it at the third byte", false, {{0x79, 0x00}, {0x79}}, {false, true}},
        {"direct: 0x1F 0x79 never sets it", false, {{0x1F, 0x79}, {0x79}}, {false, false}},
        {"tunnel: 0x06 0x79 0x79", true, {{0x06, 0x79}, {0x79}}, {false, true}},
        {"tunnel: two bytes are not enough", true, {{0x79, 0x79}}, {false}},
    };
    ASSERT_EQ(link.InitSeriale(1, "57600"), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        link.BootMode = true;
        link.Boot.Tunnel = c.tunnel;
        link.BootAck = false;
        link.Boot.BootRxCount = 0;
        for (std::size_t i = 0; i < c.bursts.size(); ++i) {
            port.Arrive(c.bursts[i]);
            EXPECT_EQ(link.BootAck, c.ackAfter[i]) << i;
        }
        EXPECT_EQ(link.Rx.RxCount, 0) << "nothing reaches the protocol buffer in bootloader mode";
    }
    port.Arrive(Bytes(3100, 0x11));
    EXPECT_EQ(link.Boot.BootRxCount, 3001) << "the bootloader's area refuses what does not fit";
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Errore Rx dato (OnComm)");
}

// Bytes that came in without their receive event (a real port's event can come late) are thrown
// away before the next request, never read as the start of its answer.
TEST_F(SerialLinkTest, BytesWaitingBeforeARequestAreNotPartOfItsAnswer)
{
    ASSERT_EQ(link.InitSeriale(1, "115200"), 0);
    port.incoming = {ctl::ACK, ctl::SOH};
    const Bytes answer{ctl::ACK, ctl::SOH, 5, '0', 0xC0, 0x0A, ctl::EOT};
    port.onWrite = [&](const Bytes&) { host.CallAfter(0.01, [&] { port.Arrive(answer); }); };
    link.SendFrame({'r'}, 1.0);
    EXPECT_TRUE(link.Rx.RxFrameDone);
    EXPECT_EQ(BytesToHex(link.Rx.RxBuffer, static_cast<std::size_t>(link.Rx.RxCount)), BytesToHex(answer));
}

TEST(PermissionHint, NamesTheDevicesAndTheGroupsToJoin)
{
    const std::string owner = "add your user to the group that owns";
    // The hint: between "No permission to open " and " $USER), then log out and log in again.".
    const struct { const char* story; std::vector<PortOpenResult> refused; std::string hint; } cases[] = {
        {"nothing refused", {}, ""},
        {"only a busy port: no group would help", {Refused("/dev/ttyUSB0")}, ""},
        {"the group cannot be read", {Refused("/dev/ttyACM0", "")},
         "/dev/ttyACM0: " + owner + " it (usually \"dialout\") (sudo usermod -aG dialout"},
        {"three devices of one group, a busy one among them",
         {Refused("/dev/ttyS0", "dialout"), Refused("/dev/ttyS1"), Refused("/dev/ttyS2", "dialout"),
          Refused("/dev/ttyUSB0", "dialout")},
         "/dev/ttyS0, /dev/ttyS2 and /dev/ttyUSB0: add your user to the group \"dialout\" (sudo usermod -aG dialout"},
        {"two groups, one unreadable",
         {Refused("/dev/ttyS0", "dialout"), Refused("/dev/ttyUSB0", "plugdev"), Refused("/dev/ttyACM0", "")},
         "/dev/ttyS0, /dev/ttyUSB0 and /dev/ttyACM0: add your user to the groups \"dialout\" and \"plugdev\" "
         "(sudo usermod -aG dialout,plugdev"},
        {"two devices, no group known", {Refused("/dev/ttyUSB0", ""), Refused("/dev/ttyUSB1", "")},
         "/dev/ttyUSB0 and /dev/ttyUSB1: " + owner + " them (usually \"dialout\") (sudo usermod -aG dialout"},
        {"the same device twice is named once", {Refused("/dev/ttyUSB0", "dialout"), Refused("/dev/ttyUSB0", "dialout")},
         "/dev/ttyUSB0: add your user to the group \"dialout\" (sudo usermod -aG dialout"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        EXPECT_EQ(PermissionHint(c.refused),
                  c.hint.empty() ? "" : "No permission to open " + c.hint + " $USER), then log out and log in again.");
    }
}
