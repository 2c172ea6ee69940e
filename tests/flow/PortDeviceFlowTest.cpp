#include <QMenu>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "AppRig.h"
#include "platform/QtSerialPort.h"
#include "support/Pty.h"

namespace {

// The technician's map of port numbers to devices, for as long as it lives.
struct PortMap {
    explicit PortMap(const std::string& map) { setenv("SERVICETOOL_PORT_MAP", map.c_str(), 1); }
    ~PortMap() { unsetenv("SERVICETOOL_PORT_MAP"); }
};

}  // namespace

// Which adapter is COMMn: every entry of the "COMM" menu and the port panel name the device, here
// of the map the technician's environment gives (the window on real ports, in virtual time).
TEST(PortDevices, TooltipsNameTheDevicesOfThePortMap)
{
    Pty first;
    Pty second;
    ASSERT_TRUE(first.ok() && second.ok());
    const PortMap map("2=" + first.link() + ",9=" + second.link());
    VirtualHost host;
    host.SetOnYield([] { QCoreApplication::processEvents(); });
    ScriptedDialogs dialogs;
    MemorySettings settings;
    QTemporaryDir folder;
    QtSerialPort port{PortResolver(&settings)};
    SerialLink link{port, host, dialogs};
    Form1 form(AppServices{link, host, dialogs, settings, folder.path().toStdString()});
    ASSERT_TRUE(form.Startup(false));

    EXPECT_TRUE(form.mnuSeriale->toolTipsVisible());
    EXPECT_EQ(form.CommEntry(2)->toolTip().toStdString(), first.link());
    EXPECT_EQ(form.CommEntry(9)->toolTip().toStdString(), second.link());
    for (const int n : {1, 3, 8, 10, 15})
        EXPECT_EQ(form.CommEntry(n)->toolTip(), "no device") << "COMM" << n;
    // The texts stay as they are.
    EXPECT_EQ(form.CommEntry(2)->text(), "COMM2");
    EXPECT_TRUE(form.CommEntry(2)->isVisible() && form.CommEntry(9)->isVisible());
    EXPECT_EQ(form.StatusBar1Panel1->text(), "Port: COM2");
    EXPECT_EQ(form.StatusBar1Panel1->toolTip().toStdString(), first.link());

    form.CommEntry(9)->trigger();
    EXPECT_EQ(form.StatusBar1Panel1->text(), "Port: COM9");
    EXPECT_EQ(form.StatusBar1Panel1->toolTip().toStdString(), second.link());
    EXPECT_TRUE(dialogs.messages.empty());
}

// The device of each port number on each system, tested on this one: the environment's map, else
// the user's "Ports" settings (Linux only), else the default names.
TEST(PortDevices, DeviceNamesOnEachSystem)
{
    MemorySettings settings;
    settings.values["Ports/COM3"] = "/dev/ttyAMA0";
    const PortResolver onUnix(&settings, OsFamily::Unix);
    const PortResolver onWindows(&settings, OsFamily::Windows);
    const struct {
        int port;
        std::optional<std::string> unixDevice;
        std::optional<std::string> windowsDevice;
    } cases[] = {
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
