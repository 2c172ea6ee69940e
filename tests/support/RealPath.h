#pragma once

#include <cstdlib>
#include <string>

#include "link/SerialLink.h"
#include "platform/QtHost.h"
#include "platform/QtSerialPort.h"
#include "support/ScriptedDialogs.h"

// The real serial path: QSerialPort and Qt's event loop, with port `number` mapped to `device`
// (a pseudo-terminal) for as long as it lives.
struct RealPath {
    explicit RealPath(const std::string& device, int number = 1)
    {
        setenv("SERVICETOOL_PORT_MAP", (std::to_string(number) + "=" + device).c_str(), 1);
    }
    ~RealPath() { unsetenv("SERVICETOOL_PORT_MAP"); }
    RealPath(const RealPath&) = delete;
    RealPath& operator=(const RealPath&) = delete;

    QtHost host;
    QtSerialPort port{PortResolver()};
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
};
