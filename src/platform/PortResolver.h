#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "core/Platform.h"
#include "core/SettingsStore.h"

// Turns a port number 1..15 into a device name.
//  - SERVICETOOL_PORT_MAP ("1=/tmp/sim/ttyA,4=/dev/ttyUSB0"), when set, is the whole map;
//  - on Windows: "COM<n>";
//  - elsewhere the per-user setting "Ports"/"COM<n>" when present, else
//    COM1..COM4 -> /dev/ttyS0..3, COM5..COM9 -> /dev/ttyUSB0..4, COM10..COM15 -> /dev/ttyACM0..5.
class PortResolver {
public:
    explicit PortResolver(const SettingsStore* settings = nullptr, OsFamily os = kThisOs);

    // A resolver for one device given by its path: port `number` opens it, no other port exists.
    static PortResolver Only(int number, std::string device);

    // Nothing when the number names no port.
    std::optional<std::string> DeviceFor(int portNumber) const;

    static std::map<int, std::string> ParsePortMap(const std::string& text);
    static std::optional<std::string> DefaultDevice(int portNumber, OsFamily os = kThisOs);

private:
    const SettingsStore* settings_;
    OsFamily os_;
    std::optional<std::pair<int, std::string>> only_;
};
