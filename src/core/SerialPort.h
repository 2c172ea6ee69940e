#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/Bytes.h"

struct PortOpenResult {
    enum class Kind { Opened, NotFound, Failed };
    Kind kind = Kind::Opened;
    int errorNumber = 0;
    std::string description;
    // The device exists but this user may not open it (EACCES); its group when it can be read.
    bool accessDenied = false;
    std::string device{};
    std::string deviceGroup{};

    bool ok() const { return kind == Kind::Opened; }
};

// The serial operations the instrument link needs. A port is opened in raw mode, RTS and DTR on,
// and raises its receive handler (on the window's thread) whenever bytes arrive.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual void SetPortNumber(int number) = 0;
    virtual int PortNumber() const = 0;
    // "115200,N,8,1" or "57600,E,8,1".
    virtual void SetLineSettings(const std::string& settings) = 0;
    virtual std::string LineSettings() const = 0;

    virtual PortOpenResult Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    virtual std::size_t BytesWaiting() const = 0;
    // Takes one waiting byte; false when none waits.
    virtual bool ReadByte(std::uint8_t& byte) = 0;
    // Writes the whole array in one call; false when the port refused it.
    virtual bool Write(const Bytes& bytes) = 0;

    virtual void SetReceiveHandler(std::function<void()> handler) = 0;

    // What port `number` opens, for the technician ("/dev/ttyUSB0"); empty when it names none.
    virtual std::string DeviceOf(int /*number*/) const { return {}; }
};
