// Ports refused for lack of permission, as the window reports them.
#include <gtest/gtest.h>

#include <map>

#include "AppRig.h"

namespace {

const std::string kNoPort = "No Serial COM port found !!\r\n\r\nUnable to continue";
const std::string kHint = "\r\n\r\nNo permission to open ";
const std::string kJoinDialout = "add your user to the group \"dialout\" (sudo usermod -aG dialout $USER), then log out "
                                 "and log in again.";

// A rig whose simulated ports are named as the devices of a Linux machine.
void NameDevices(AppRig& rig)
{
    for (const auto& [port, device] : std::map<int, std::string>{{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}, {5, "/dev/ttyUSB0"}})
        rig.port.SetDeviceName(port, device);
}

}  // namespace

// The start-up search ends the program when no port opens; when ports were refused for lack of
// permission, the message also says which group to join.
TEST(PortAccessFlow, StartupSearchExplainsPortsRefusedForPermission)
{
    // Ports denied are denied to group dialout; no message: the program goes on.
    const struct { const char* story; std::set<int> ports, denied, busy; std::string message; } cases[] = {
        {"every port refused", {1, 5}, {1, 5}, {}, kNoPort + kHint + "/dev/ttyS0 and /dev/ttyUSB0: " + kJoinDialout},
        {"one refused, one held by another program", {1, 2}, {2}, {1}, kNoPort + kHint + "/dev/ttyS1: " + kJoinDialout},
        {"no port at all", {}, {}, {}, kNoPort},
        {"one refused, one opens", {1, 5}, {1}, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        AppRig rig(c.ports);
        NameDevices(rig);
        for (const int port : c.denied)
            rig.port.SetAccessDenied(port, "dialout");
        for (const int port : c.busy)
            rig.port.SetBusy(port, true);

        EXPECT_EQ(rig.Start(), c.message.empty());
        if (c.message.empty()) {
            EXPECT_TRUE(rig.dialogs.messages.empty());
            EXPECT_EQ(rig.link.CommPortNumber, 5);
            EXPECT_FALSE(rig.form->CommEntry(1)->isVisible()) << "a refused port is not offered";
            continue;
        }
        ASSERT_EQ(rig.dialogs.messages.size(), 1u);
        EXPECT_EQ(rig.dialogs.messages[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(rig.dialogs.messages[0].title, "MESSAGE");
        EXPECT_EQ(rig.dialogs.messages[0].text, c.message);
        EXPECT_EQ(rig.form->Avviso->Message(), "Research available COM\r\nfound: 0");
        EXPECT_EQ(rig.port.Opens(), 0);
        EXPECT_TRUE(rig.settings.values.empty()) << "no port is saved";
    }
}

// A port that became unavailable after start-up: Info reports the open failure (with the hint when
// it is a matter of permission), the serial error in the log, and gives the window back.
TEST(PortAccessFlow, InfoOnARefusedPortShowsTheOpenFailureAndRestoresTheWindow)
{
    for (const bool denied : {true, false}) {
        AppRig rig({5});
        NameDevices(rig);
        rig.StartOn("", kDownMemTab);
        if (denied)
            rig.port.SetAccessDenied(5, "dialout");
        else
            rig.port.SetBusy(5, true);
        rig.Control<QPushButton>("cmdDownInfo").click();
        ASSERT_EQ(rig.dialogs.messages.size(), 1u);
        EXPECT_EQ(rig.dialogs.messages[0].icon, MsgIcon::Critical);
        EXPECT_EQ(rig.dialogs.messages[0].title, "Routine <InitSeriale>");
        EXPECT_EQ(rig.dialogs.messages[0].text, "Error :2\r\nPermission denied" +
                                                    (denied ? "\r\nNo permission to open /dev/ttyUSB0: " + kJoinDialout : ""));
        EXPECT_EQ(rig.Control<StatusBox>("txtDownStatus").Text().rfind(" Serial error !!\r\n\r\n  Check connection.", 0), 0u);
        EXPECT_TRUE(rig.form->SSTab1->isEnabled());
        EXPECT_TRUE(rig.form->mnuSeriale->menuAction()->isEnabled());
        EXPECT_TRUE(rig.Control<QPushButton>("cmdDownDwData").isEnabled());
        EXPECT_FALSE(rig.port.IsOpen());
        EXPECT_TRUE(rig.port.Written().empty());
    }
}
