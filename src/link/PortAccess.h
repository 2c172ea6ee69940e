#pragma once

#include <string>
#include <vector>

#include "core/SerialPort.h"

// Group that usually owns the serial devices of a Linux machine.
constexpr const char* kUsualSerialGroup = "dialout";

// One line telling the technician what to do about ports refused for lack of permission (results
// with `accessDenied`): join the group that owns the devices (named when it could be read, else
// the usual one; a device whose group could not be read adds none) and log in again. Empty when no result in the list was refused that way.
std::string PermissionHint(const std::vector<PortOpenResult>& refused);
