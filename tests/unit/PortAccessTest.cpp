#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/PortAccess.h"

namespace {

PortOpenResult Denied(const std::string& device, const std::string& group)
{
    PortOpenResult result{PortOpenResult::Kind::Failed, 2, "Permission denied"};
    result.accessDenied = true;
    result.device = device;
    result.deviceGroup = group;
    return result;
}

PortOpenResult Busy(const std::string& device)
{
    PortOpenResult result{PortOpenResult::Kind::Failed, 2, "Permission denied"};
    result.device = device;
    return result;
}

}  // namespace

TEST(PermissionHint, NamesTheDevicesAndTheGroupsToJoin)
{
    const struct {
        const char* story;
        std::vector<PortOpenResult> refused;
        std::string hint;
    } cases[] = {
        {"nothing refused", {}, ""},
        {"only a busy port: no group would help", {Busy("/dev/ttyUSB0")}, ""},
        {"one device of group dialout",
         {Denied("/dev/ttyUSB0", "dialout")},
         "No permission to open /dev/ttyUSB0: add your user to the group \"dialout\" (sudo usermod -aG dialout $USER), "
         "then log out and log in again."},
        {"the group cannot be read",
         {Denied("/dev/ttyACM0", "")},
         "No permission to open /dev/ttyACM0: add your user to the group that owns it (usually \"dialout\") "
         "(sudo usermod -aG dialout $USER), then log out and log in again."},
        {"a device of another group",
         {Denied("/dev/ttyS0", "uucp")},
         "No permission to open /dev/ttyS0: add your user to the group \"uucp\" (sudo usermod -aG uucp $USER), "
         "then log out and log in again."},
        {"three devices of one group, a busy one among them",
         {Denied("/dev/ttyS0", "dialout"), Busy("/dev/ttyS1"), Denied("/dev/ttyS2", "dialout"),
          Denied("/dev/ttyUSB0", "dialout")},
         "No permission to open /dev/ttyS0, /dev/ttyS2 and /dev/ttyUSB0: add your user to the group \"dialout\" "
         "(sudo usermod -aG dialout $USER), then log out and log in again."},
        {"two groups, one unreadable",
         {Denied("/dev/ttyS0", "dialout"), Denied("/dev/ttyUSB0", "plugdev"), Denied("/dev/ttyACM0", "")},
         "No permission to open /dev/ttyS0, /dev/ttyUSB0 and /dev/ttyACM0: add your user to the groups \"dialout\" "
         "and \"plugdev\" (sudo usermod -aG dialout,plugdev $USER), then log out and log in again."},
        {"two devices, no group known",
         {Denied("/dev/ttyUSB0", ""), Denied("/dev/ttyUSB1", "")},
         "No permission to open /dev/ttyUSB0 and /dev/ttyUSB1: add your user to the group that owns them (usually "
         "\"dialout\") (sudo usermod -aG dialout $USER), then log out and log in again."},
        {"the same device twice is named once",
         {Denied("/dev/ttyUSB0", "dialout"), Denied("/dev/ttyUSB0", "dialout")},
         "No permission to open /dev/ttyUSB0: add your user to the group \"dialout\" (sudo usermod -aG dialout $USER), "
         "then log out and log in again."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        const std::string hint = PermissionHint(c.refused);
        EXPECT_EQ(hint, c.hint);
        EXPECT_EQ(hint.find_first_of("\r\n"), std::string::npos) << "one line";
    }
}
