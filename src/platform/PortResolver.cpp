#include "platform/PortResolver.h"

#include <cstdlib>
#include <sstream>

#include "core/Bytes.h"

PortResolver::PortResolver(const SettingsStore* settings, OsFamily os) : settings_(settings), os_(os) {}

std::map<int, std::string> PortResolver::ParsePortMap(const std::string& text)
{
    std::map<int, std::string> map;
    std::stringstream entries(text);
    std::string entry;
    while (std::getline(entries, entry, ',')) {
        const auto equals = entry.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string number = Trim(entry.substr(0, equals));
        const std::string device = Trim(entry.substr(equals + 1));
        if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos || number.size() > 2)
            continue;
        const int port = std::stoi(number);
        if (port >= 1 && port <= 15 && !device.empty())
            map[port] = device;
    }
    return map;
}

std::optional<std::string> PortResolver::DefaultDevice(int portNumber, OsFamily os)
{
    if (os == OsFamily::Windows) {
        if (portNumber >= 1 && portNumber <= 15)
            return "COM" + std::to_string(portNumber);
        return std::nullopt;
    }
    if (portNumber >= 1 && portNumber <= 4)
        return "/dev/ttyS" + std::to_string(portNumber - 1);
    if (portNumber >= 5 && portNumber <= 9)
        return "/dev/ttyUSB" + std::to_string(portNumber - 5);
    if (portNumber >= 10 && portNumber <= 15)
        return "/dev/ttyACM" + std::to_string(portNumber - 10);
    return std::nullopt;
}

PortResolver PortResolver::Only(int number, std::string device)
{
    PortResolver resolver;
    resolver.only_ = std::make_pair(number, std::move(device));
    return resolver;
}

std::optional<std::string> PortResolver::DeviceFor(int portNumber) const
{
    if (only_) {
        if (portNumber != only_->first)
            return std::nullopt;
        return only_->second;
    }
    if (const char* override = std::getenv("SERVICETOOL_PORT_MAP")) {
        const auto map = ParsePortMap(override);
        const auto it = map.find(portNumber);
        if (it == map.end())
            return std::nullopt;
        return it->second;
    }
    if (os_ == OsFamily::Unix && settings_ && portNumber >= 1 && portNumber <= 15) {
        const std::string configured = settings_->Value("Ports", "COM" + std::to_string(portNumber), "");
        if (!configured.empty())
            return configured;
    }
    return DefaultDevice(portNumber, os_);
}
