#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/PortResolver.h"
#include "support/MemorySettings.h"

namespace {

// The technician's map of port numbers to devices, for as long as it lives.
struct PortMap {
    explicit PortMap(const std::string& map) { setenv("SERVICETOOL_PORT_MAP", map.c_str(), 1); }
    ~PortMap() { unsetenv("SERVICETOOL_PORT_MAP"); }
};

}  // namespace

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
