#include <gtest/gtest.h>

#include <optional>

#include "link/PortAccess.h"

namespace {

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

TEST(PermissionHint, NamesTheDevicesAndTheGroupsToJoin)
{
    const std::string owner = "add your user to the group that owns";
    // The hint: between "No permission to open " and " $USER), then log out and log in again.".
    const struct { const char* story; std::vector<PortOpenResult> refused; std::string hint; } cases[] = {
        {"nothing refused", {}, ""},
        {"only a busy port: no group would help", {Refused("/dev/ttyUSB0")}, ""},
        {"one device of group dialout", {Refused("/dev/ttyUSB0", "dialout")},
         "/dev/ttyUSB0: add your user to the group \"dialout\" (sudo usermod -aG dialout"},
        {"the group cannot be read", {Refused("/dev/ttyACM0", "")},
         "/dev/ttyACM0: " + owner + " it (usually \"dialout\") (sudo usermod -aG dialout"},
        {"a device of another group", {Refused("/dev/ttyS0", "uucp")},
         "/dev/ttyS0: add your user to the group \"uucp\" (sudo usermod -aG uucp"},
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
