#pragma once

#include <string>
#include <vector>

// Firmware targets of the Upload tab, in list order.
const std::vector<std::string>& FirmwareTargets();

struct ParamFamily {
    std::string entry;  // text of the family list
    int lastIndex;      // parameters 0..lastIndex
};
// Parameter families of the Param tab, in list order.
const std::vector<ParamFamily>& ParamFamilies();

// Device names instruments report.
const std::vector<std::string>& KnownDeviceNames();

// Device groups by the parameter that holds the stored-record count.
bool IsRecordCountParam26Device(const std::string& name);
bool IsRecordCountParam146Device(const std::string& name);
