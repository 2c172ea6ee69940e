#include <QMenu>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "AppRig.h"
#include "platform/QtSerialPort.h"
#include "support/Pty.h"

namespace {

// The window on the real serial port (virtual time), with the port numbers mapped as the
// technician's environment says.
struct RealPortWindow {
    explicit RealPortWindow(const std::string& portMap)
    {
        if (portMap.empty())
            unsetenv("SERVICETOOL_PORT_MAP");
        else
            setenv("SERVICETOOL_PORT_MAP", portMap.c_str(), 1);
        host.SetOnYield([] { QCoreApplication::processEvents(); });
    }
    ~RealPortWindow() { unsetenv("SERVICETOOL_PORT_MAP"); }

    VirtualHost host;
    ScriptedDialogs dialogs;
    MemorySettings settings;
    QTemporaryDir folder;
    QtSerialPort port{PortResolver(&settings)};
    SerialLink link{port, host, dialogs};
    std::unique_ptr<Form1> form;

    Form1& Make()
    {
        form = std::make_unique<Form1>(AppServices{link, host, dialogs, settings, folder.path().toStdString()});
        return *form;
    }
    std::string Tip(int port) const { return form->CommEntry(port)->toolTip().toStdString(); }
    std::string PanelTip() const { return form->StatusBar1Panel1->toolTip().toStdString(); }
};

}  // namespace

// Which adapter is COMMn: every entry of the "COMM" menu and the port panel name the device.
TEST(PortDevices, TooltipsNameTheDevicesOfThePortMap)
{
    Pty first;
    Pty second;
    ASSERT_TRUE(first.ok() && second.ok());
    RealPortWindow window("2=" + first.link() + ",9=" + second.link());
    ASSERT_TRUE(window.Make().Startup(false));
    Form1& form = *window.form;

    EXPECT_TRUE(form.mnuSeriale->toolTipsVisible());
    EXPECT_EQ(window.Tip(2), first.link());
    EXPECT_EQ(window.Tip(9), second.link());
    for (const int port : {1, 3, 8, 10, 15})
        EXPECT_EQ(window.Tip(port), "no device") << "COMM" << port;
    // The texts stay as they are.
    EXPECT_EQ(form.CommEntry(2)->text().toStdString(), "COMM2");
    EXPECT_TRUE(form.CommEntry(2)->isVisible() && form.CommEntry(9)->isVisible());
    EXPECT_EQ(form.StatusBar1Panel1->text().toStdString(), "Port: COM2");
    EXPECT_EQ(window.PanelTip(), first.link());

    form.CommEntry(9)->trigger();
    EXPECT_EQ(form.StatusBar1Panel1->text().toStdString(), "Port: COM9");
    EXPECT_EQ(window.PanelTip(), second.link());
    EXPECT_TRUE(window.dialogs.messages.empty());
}

// Without a map, the user's "Ports" settings and the default names; the window is only built
// (no port is probed, so no real device is opened).
TEST(PortDevices, TooltipsFollowTheUserSettingsAndTheDefaultNames)
{
    RealPortWindow window("");
    window.settings.values["Ports/COM4"] = "/dev/serial/by-id/usb-K4410-if00";
    window.Make();
    const struct {
        int port;
        const char* device;
    } cases[] = {{1, "/dev/ttyS0"}, {4, "/dev/serial/by-id/usb-K4410-if00"}, {5, "/dev/ttyUSB0"},
                 {9, "/dev/ttyUSB4"}, {10, "/dev/ttyACM0"}, {15, "/dev/ttyACM5"}};
    for (const auto& c : cases)
        EXPECT_EQ(window.Tip(c.port), c.device) << "COMM" << c.port;
}

// Port names on each system, tested on this one.
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
        {0, std::nullopt, std::nullopt},
        {1, "/dev/ttyS0", "COM1"},
        {3, "/dev/ttyAMA0", "COM3"},  // the "Ports" settings are for Linux only
        {4, "/dev/ttyS3", "COM4"},
        {5, "/dev/ttyUSB0", "COM5"},
        {9, "/dev/ttyUSB4", "COM9"},
        {10, "/dev/ttyACM0", "COM10"},
        {15, "/dev/ttyACM5", "COM15"},
        {16, std::nullopt, std::nullopt},
    };
    unsetenv("SERVICETOOL_PORT_MAP");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        EXPECT_EQ(onUnix.DeviceFor(c.port), c.unixDevice);
        EXPECT_EQ(onWindows.DeviceFor(c.port), c.windowsDevice);
    }
    // The map is the whole map on every system; entries it cannot read are left out.
    setenv("SERVICETOOL_PORT_MAP", "3=/tmp/sim/ttyA, 4=/dev/ttyUSB0,x=1,16=/dev/a,7=,5", 1);
    EXPECT_EQ(onWindows.DeviceFor(3), "/tmp/sim/ttyA");
    EXPECT_EQ(onUnix.DeviceFor(4), "/dev/ttyUSB0");
    for (const int port : {1, 5, 7, 16})
        EXPECT_EQ(onUnix.DeviceFor(port), std::nullopt) << port;
    unsetenv("SERVICETOOL_PORT_MAP");
}
