#pragma once

#include <QSerialPort>
#include <functional>

#include "core/SerialPort.h"
#include "platform/PortResolver.h"

// SerialPort on QSerialPort. A pseudo-terminal cannot carry parity, RTS or DTR: there the port goes
// on without them; on a real port such a refusal is an open failure.
class QtSerialPort : public SerialPort {
public:
    explicit QtSerialPort(PortResolver resolver);
    ~QtSerialPort() override;

    void SetPortNumber(int number) override;
    int PortNumber() const override { return number_; }
    void SetLineSettings(const std::string& settings) override;
    std::string LineSettings() const override { return settings_; }

    PortOpenResult Open() override;
    void Close() override;
    bool IsOpen() const override;

    std::size_t BytesWaiting() const override;
    bool ReadByte(std::uint8_t& byte) override;
    bool Write(const Bytes& bytes) override;

    void SetReceiveHandler(std::function<void()> handler) override { onReceive_ = std::move(handler); }
    std::string DeviceOf(int number) const override;

    // True when this user may not read and write the device (EACCES).
    static bool AccessDenied(const QString& device);
    // Name of the group that owns the device; empty when it cannot be read.
    static std::string GroupOf(const QString& device);
    // True when the device is a pseudo-terminal (after following links).
    static bool IsPseudoTerminal(const QString& device);

private:
    bool ApplyLineSettings(PortOpenResult& failure);
    PortOpenResult Failure(PortOpenResult::Kind kind);
    void OnError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    QByteArray pending_;      // read from the port, not yet handed out
    std::size_t taken_ = 0;
    PortResolver resolver_;
    int number_ = 0;
    QString device_;
    std::string settings_ = "115200,N,8,1";
    std::function<void()> onReceive_;
};
