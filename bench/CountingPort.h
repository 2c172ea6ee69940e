#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "core/SerialPort.h"

// A serial port that counts every byte crossing it, for benchmarks that compare their time with
// the time the bytes take on the line.
class CountingPort : public SerialPort {
public:
    explicit CountingPort(SerialPort& port) : port_(port) {}

    std::size_t bytesOut = 0;
    std::size_t bytesIn = 0;
    std::size_t writes = 0;

    void SetPortNumber(int number) override { port_.SetPortNumber(number); }
    int PortNumber() const override { return port_.PortNumber(); }
    void SetLineSettings(const std::string& settings) override { port_.SetLineSettings(settings); }
    std::string LineSettings() const override { return port_.LineSettings(); }
    PortOpenResult Open() override { return port_.Open(); }
    void Close() override { port_.Close(); }
    bool IsOpen() const override { return port_.IsOpen(); }
    std::size_t BytesWaiting() const override { return port_.BytesWaiting(); }
    bool ReadByte(std::uint8_t& byte) override
    {
        const bool read = port_.ReadByte(byte);
        bytesIn += read ? 1 : 0;
        return read;
    }
    bool Write(const Bytes& bytes) override
    {
        const bool written = port_.Write(bytes);
        if (written) {
            bytesOut += bytes.size();
            ++writes;
        }
        return written;
    }
    void SetReceiveHandler(std::function<void()> handler) override { port_.SetReceiveHandler(std::move(handler)); }

private:
    SerialPort& port_;
};
