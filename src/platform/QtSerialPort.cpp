#include "platform/QtSerialPort.h"

#include <QFileInfo>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

QtSerialPort::QtSerialPort(PortResolver resolver) : resolver_(std::move(resolver))
{
    QObject::connect(&port_, &QSerialPort::readyRead, [this] {
        if (onReceive_)
            onReceive_();
    });
    QObject::connect(&port_, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError error) { OnError(error); });
}

QtSerialPort::~QtSerialPort()
{
    onReceive_ = nullptr;
    port_.close();
}

void QtSerialPort::SetPortNumber(int number)
{
    number_ = number;
    const auto device = resolver_.DeviceFor(number);
    device_ = device ? QString::fromStdString(*device) : QString();
}

void QtSerialPort::SetLineSettings(const std::string& settings)
{
    settings_ = settings;
    if (port_.isOpen()) {
        PortOpenResult ignored;
        ApplyLineSettings(ignored);
    }
}

bool QtSerialPort::IsPseudoTerminal(const QString& device)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    return target.startsWith("/dev/pts/") || target == "/dev/ptmx";
}

std::string QtSerialPort::DeviceOf(int number) const
{
    return resolver_.DeviceFor(number).value_or(std::string());
}

// QSerialPort reports a device that is locked or busy with the same error as one this user may
// not open; only the second is a matter of permissions, which the system tells apart.
bool QtSerialPort::AccessDenied(const QString& device)
{
#ifndef _WIN32
    const QByteArray path = QFile::encodeName(device);
    return faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) != 0 && errno == EACCES;
#else
    (void)device;
    return false;
#endif
}

std::string QtSerialPort::GroupOf(const QString& device)
{
#ifndef _WIN32
    struct stat status {};
    if (stat(QFile::encodeName(device).constData(), &status) != 0)
        return {};
    if (const group* owner = getgrgid(status.st_gid))
        return owner->gr_name;
#else
    (void)device;
#endif
    return {};
}

PortOpenResult QtSerialPort::Failure(PortOpenResult::Kind kind)
{
    PortOpenResult result;
    result.kind = kind;
    result.errorNumber = static_cast<int>(port_.error());
    result.description = port_.error() == QSerialPort::NoError ? std::string("Unknown error")
                                                               : port_.errorString().toStdString();
    result.device = device_.toStdString();
    if (kind == PortOpenResult::Kind::Failed && AccessDenied(device_)) {
        result.accessDenied = true;
        result.deviceGroup = GroupOf(device_);
    }
    return result;
}

PortOpenResult QtSerialPort::Open()
{
    if (device_.isEmpty()) {
        PortOpenResult missing;
        missing.kind = PortOpenResult::Kind::NotFound;
        missing.errorNumber = static_cast<int>(QSerialPort::DeviceNotFoundError);
        missing.description = "No such port";
        return missing;
    }
    port_.setPortName(device_);
    if (!port_.open(QIODevice::ReadWrite)) {
        const bool missing = port_.error() == QSerialPort::DeviceNotFoundError;
        return Failure(missing ? PortOpenResult::Kind::NotFound : PortOpenResult::Kind::Failed);
    }
    PortOpenResult failure;
    if (!ApplyLineSettings(failure)) {
        port_.close();
        return failure;
    }
    return {};
}

// "115200,N,8,1": speed, parity, data bits, stop bits.
bool QtSerialPort::ApplyLineSettings(PortOpenResult& failure)
{
    std::stringstream fields(settings_);
    std::string baud, parity, dataBits, stopBits;
    std::getline(fields, baud, ',');
    std::getline(fields, parity, ',');
    std::getline(fields, dataBits, ',');
    std::getline(fields, stopBits, ',');
    const bool pty = IsPseudoTerminal(device_);
    const auto check = [&](bool ok, bool optionalOnPty) {
        if (ok || (pty && optionalOnPty))
            return true;
        failure = Failure(PortOpenResult::Kind::Failed);
        return false;
    };
    const int speed = std::atoi(baud.c_str());
    const QSerialPort::Parity wanted = parity == "E" ? QSerialPort::EvenParity
                                     : parity == "O" ? QSerialPort::OddParity
                                                     : QSerialPort::NoParity;
    return check(speed > 0 && port_.setBaudRate(speed), false) &&
           check(port_.setDataBits(dataBits == "7" ? QSerialPort::Data7 : QSerialPort::Data8), false) &&
           check(port_.setStopBits(stopBits == "2" ? QSerialPort::TwoStop : QSerialPort::OneStop), false) &&
           check(port_.setFlowControl(QSerialPort::NoFlowControl), false) &&
           check(port_.setParity(wanted), true) &&
           check(port_.setRequestToSend(true), true) &&
           check(port_.setDataTerminalReady(true), true);
}

void QtSerialPort::Close()
{
    if (port_.isOpen())
        port_.close();
    pending_.clear();
    taken_ = 0;
}

bool QtSerialPort::IsOpen() const
{
    return port_.isOpen();
}

std::size_t QtSerialPort::BytesWaiting() const
{
    if (!port_.isOpen())
        return 0;
    return pending_.size() - taken_ + static_cast<std::size_t>(port_.bytesAvailable());
}

// Bytes are handed out one at a time, but taken from the port in one read.
bool QtSerialPort::ReadByte(std::uint8_t& byte)
{
    if (!port_.isOpen())
        return false;
    if (taken_ == static_cast<std::size_t>(pending_.size())) {
        pending_ = port_.readAll();
        taken_ = 0;
        if (pending_.isEmpty())
            return false;
    }
    byte = static_cast<std::uint8_t>(pending_[static_cast<qsizetype>(taken_++)]);
    return true;
}

// Straight to the device when nothing is queued before them, so the bytes are on their way when
// the call returns and no write notifier has to run. What the device does not take at once is
// queued in the port's own buffer and goes out from the event loop once the device takes more
// (forcing it out now would only meet a full device and put the port in error).
bool QtSerialPort::Write(const Bytes& bytes)
{
    if (!port_.isOpen())
        return false;
    const char* data = reinterpret_cast<const char*>(bytes.data());
    qint64 left = static_cast<qint64>(bytes.size());
#ifndef _WIN32
    if (port_.bytesToWrite() == 0) {
        while (left > 0) {
            const ssize_t n = ::write(port_.handle(), data, static_cast<std::size_t>(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            data += n;
            left -= n;
        }
    }
    return left == 0 || port_.write(data, left) == left;
#else
    const auto written = port_.write(data, left);
    port_.flush();
    return written == left;
#endif
}

void QtSerialPort::OnError(QSerialPort::SerialPortError error)
{
    // A vanished device floods these errors until the port is closed.
    if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError)
        Close();
}
