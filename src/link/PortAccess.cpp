#include "link/PortAccess.h"

#include <algorithm>

namespace {

void AddOnce(std::vector<std::string>& list, const std::string& item)
{
    if (!item.empty() && std::find(list.begin(), list.end(), item) == list.end())
        list.push_back(item);
}

// "a", "a and b", "a, b and c".
std::string Enumeration(const std::vector<std::string>& items)
{
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += i + 1 == items.size() ? " and " : ", ";
        text += items[i];
    }
    return text;
}

}  // namespace

std::string PermissionHint(const std::vector<PortOpenResult>& refused)
{
    std::vector<std::string> devices;
    std::vector<std::string> groups;
    for (const PortOpenResult& result : refused) {
        if (!result.accessDenied)
            continue;
        AddOnce(devices, result.device.empty() ? std::string("the port") : result.device);
        AddOnce(groups, result.deviceGroup);
    }
    if (devices.empty())
        return {};

    std::string join;
    if (groups.empty()) {
        join = std::string("the group that owns ") + (devices.size() == 1 ? "it" : "them") + " (usually \"" +
               kUsualSerialGroup + "\")";
    } else {
        std::vector<std::string> quoted;
        for (const std::string& group : groups)
            quoted.push_back("\"" + group + "\"");
        join = (groups.size() == 1 ? "the group " : "the groups ") + Enumeration(quoted);
    }
    std::string command = "sudo usermod -aG ";
    if (groups.empty())
        command += kUsualSerialGroup;
    for (std::size_t i = 0; i < groups.size(); ++i)
        command += (i ? "," : "") + groups[i];
    return "No permission to open " + Enumeration(devices) + ": add your user to " + join + " (" + command +
           " $USER), then log out and log in again.";
}
