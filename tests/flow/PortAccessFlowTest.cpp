// Ports: the device of each number, and ports refused for lack of permission as the window says.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>

#include "AppRig.h"
#include "platform/PortResolver.h"

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

// The technician's map of port numbers to devices, for as long as it lives.
struct PortMap {
    explicit PortMap(const std::string& map) { setenv("SERVICETOOL_PORT_MAP", map.c_str(), 1); }
    ~PortMap() { unsetenv("SERVICETOOL_PORT_MAP"); }
};

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
        EXPECT_EQ(rig.dialogs.messages[0].title + ": " + rig.dialogs.messages[0].text, "MESSAGE: " + c.message);
        EXPECT_EQ(rig.form->Avviso->Message(), "Research available COM\r\nfound: 0");
        EXPECT_EQ(rig.port.Opens(), 0);
        EXPECT_TRUE(rig.settings.values.empty()) << "no port is saved";
    }
}

// A port unavailable after start-up: Info reports the open failure (with the hint when it is a
// matter of permission) and gives the window back.
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
        EXPECT_TRUE(rig.form->SSTab1->isEnabled() && rig.form->mnuSeriale->menuAction()->isEnabled() &&
                    rig.Control<QPushButton>("cmdDownDwData").isEnabled()) << "the window given back";
        EXPECT_TRUE(!rig.port.IsOpen() && rig.port.Written().empty());
    }
}

// The device of each port number on each system, tested on this one: the environment's map, else
// the user's "Ports" settings (Linux only), else the default names.
TEST(PortDevices, DeviceNamesOnEachSystem)
{
    MemorySettings settings;
    settings.values["Ports/COM3"] = "/dev/ttyAMA0";
    const PortResolver onUnix(&settings, OsFamily::Unix);
    const PortResolver onWindows(&settings, OsFamily::Windows);
    const struct { int port; std::optional<std::string> unixDevice, windowsDevice; } cases[] = {
        {0, std::nullopt, std::nullopt},     {1, "/dev/ttyS0", "COM1"},       {3, "/dev/ttyAMA0", "COM3"},
        {4, "/dev/ttyS3", "COM4"},           {5, "/dev/ttyUSB0", "COM5"},     {9, "/dev/ttyUSB4", "COM9"},
        {10, "/dev/ttyACM0", "COM10"},       {15, "/dev/ttyACM5", "COM15"},   {16, std::nullopt, std::nullopt},
    };
    unsetenv("SERVICETOOL_PORT_MAP");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        EXPECT_EQ(onUnix.DeviceFor(c.port), c.unixDevice);
        EXPECT_EQ(onWindows.DeviceFor(c.port), c.windowsDevice);
    }
    // The map is the whole map on every system; entries it cannot read are left out.
    const PortMap map("3=/tmp/sim/ttyA, 4=/dev/ttyUSB0,x=1,16=/dev/a,7=,5");
    EXPECT_EQ(onWindows.DeviceFor(3), "/tmp/sim/ttyA");
    EXPECT_EQ(onUnix.DeviceFor(4), "/dev/ttyUSB0");
    for (const int port : {1, 5, 7, 16})
        EXPECT_EQ(onUnix.DeviceFor(port), std::nullopt) << port;
}
