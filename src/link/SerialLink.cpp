#include "link/SerialLink.h"

#include <algorithm>

#include "core/ResultCodes.h"
#include "link/Frames.h"
#include "link/PortAccess.h"

SerialLink::SerialLink(SerialPort& port, Host& host, Dialogs& dialogs)
    : port_(port), host_(host), dialogs_(dialogs)
{
    port_.SetReceiveHandler([this] { OnReceive(); });
}

SerialLink::~SerialLink()
{
    port_.SetReceiveHandler({});
    port_.Close();
}

void SerialLink::ClosePort()
{
    host_.RunDeferred();
    port_.Close();
}

int SerialLink::InitSeriale(int portNumber, const std::string& baudText)
{
    return OpenWithSettings(portNumber, baudText + ",N,8,1");
}

int SerialLink::OpenWithSettings(int portNumber, const std::string& lineSettings)
{
    Rx.RxBuffer.assign(kRxLastIndexIdle + 1, 0);
    overrunReported_ = false;
    if (port_.IsOpen())
        ClosePort();
    Delay(kInitRawModePauseS);
    port_.SetPortNumber(portNumber);
    port_.SetLineSettings(lineSettings);
    if (!port_.IsOpen()) {
        const PortOpenResult result = port_.Open();
        lastOpenError_ = result;
        if (result.kind == PortOpenResult::Kind::NotFound) {
            dialogs_.Message(MsgIcon::Critical, "Error",
                             "Error: COM" + std::to_string(portNumber) + "  (" +
                                 std::to_string(result.errorNumber) + ") " + result.description +
                                 kCrLf + "Serial port not available");
            return code::kPortMissing;
        }
        if (result.kind == PortOpenResult::Kind::Failed) {
            std::string text = "Error :" + std::to_string(result.errorNumber) + kCrLf + result.description;
            if (result.accessDenied)
                text += kCrLf + PermissionHint({result});
            dialogs_.Message(MsgIcon::Critical, "Routine <InitSeriale>", text);
            return code::kRefused;
        }
    }
    Delay(kInitSettlePauseS);
    return code::kOk;
}

void SerialLink::CloseSeriale()
{
    if (port_.IsOpen())
        ClosePort();
}

PortOpenResult SerialLink::OpenAsSetUp()
{
    if (port_.IsOpen())
        return {};
    lastOpenError_ = port_.Open();
    return lastOpenError_;
}

bool SerialLink::TryOpenPort(int portNumber)
{
    port_.SetPortNumber(portNumber);
    lastOpenError_ = {};
    if (!port_.IsOpen())
        lastOpenError_ = port_.Open();
    port_.Close();
    return lastOpenError_.ok();
}

void SerialLink::Delay(double seconds)
{
    WaitFor(seconds, [] { return false; });
}

int SerialLink::SendFrame(const Bytes& payload, double answerWaitS, bool noAnswerFrame)
{
    const Bytes frame = BuildFrame(payload);
    BootMode = false;
    if (answerIncomplete_)
        DiscardLateAnswer();
    DiscardWaitingInput();
    Rx.ResetForExchange();
    overrunReported_ = false;
    if (CanSend())
        port_.Write(frame);
    WaitFor(kAckWaitS, [this] { return Rx.RxAck != 0; });
    if (Rx.RxAck == ctl::ACK && !noAnswerFrame)
        WaitFor(answerWaitS, [this] { return Rx.RxFrameDone; });
    const bool complete = Rx.RxAck == ctl::NAK || (Rx.RxAck == ctl::ACK && (noAnswerFrame || Rx.RxFrameDone));
    answerIncomplete_ = !complete;
    if (answerIncomplete_)
        lastLineActivity_ = std::max(lastLineActivity_, host_.Now());
    return Rx.RxCount;
}

void SerialLink::DiscardLateAnswer()
{
    discarding_ = true;
    const double giveUp = host_.Now() + kLateAnswerDrainMaxS;
    while (!host_.Quitting() && port_.IsOpen()) {
        DiscardWaitingInput();
        const double quietAt = lastLineActivity_ + kLateAnswerQuietS;
        const double now = host_.Now();
        if (now >= quietAt || now >= giveUp)
            break;
        host_.Yield(std::min(quietAt, giveUp));
    }
    discarding_ = false;
    answerIncomplete_ = false;
}

void SerialLink::DiscardWaitingInput()
{
    std::uint8_t byte = 0;
    while (port_.IsOpen() && port_.ReadByte(byte))
        lastLineActivity_ = host_.Now();
}

bool SerialLink::CanSend() const
{
    return port_.IsOpen() && !host_.Quitting();
}

bool SerialLink::WriteRaw(const Bytes& bytes)
{
    overrunReported_ = false;
    return CanSend() && port_.Write(bytes);
}

bool SerialLink::StoreBootByte(std::uint8_t byte)
{
    if (Boot.BootRxCount < 0 || Boot.BootRxCount > kBootRxLastIndex)
        return false;
    Boot.BootRxBuffer[static_cast<std::size_t>(Boot.BootRxCount)] = byte;
    ++Boot.BootRxCount;
    const auto& area = Boot.BootRxBuffer;
    if (!Boot.Tunnel) {
        if (Boot.BootRxCount >= 2 && byte == 0x79 && area[0] == 0x79)
            BootAck = true;
    } else {
        if (Boot.BootRxCount >= 3 && byte == 0x79 && area[1] == 0x79)
            BootAck = true;
    }
    return true;
}

void SerialLink::ReportOverrun(const std::string& dump)
{
    // One message per exchange: a flood of bytes must not stack message boxes.
    if (overrunReported_)
        return;
    overrunReported_ = true;
    dialogs_.Message(MsgIcon::Information, "Errore Rx dato (OnComm)",
                     std::string("Errore Rx dato (OnComm)") + kCrLf + dump);
}

void SerialLink::OnReceive()
{
    ReceiveWaitingBytes();
}

void SerialLink::ReceiveWaitingBytes()
{
    std::uint8_t byte = 0;
    while (port_.IsOpen() && port_.ReadByte(byte)) {
        lastLineActivity_ = host_.Now();
        if (discarding_)
            continue;
        const bool stored = BootMode ? StoreBootByte(byte) : Rx.Accept(byte);
        if (!stored) {
            if (!overrunReported_) {
                const std::string dump = BootMode
                    ? BytesToHex(Boot.BootRxBuffer.data(), Boot.BootRxBuffer.size())
                    : BytesToHex(Rx.RxBuffer, static_cast<std::size_t>(std::max(Rx.RxCount, 0)));
                ReportOverrun(dump);
            }
            continue;  // excess bytes are dropped
        }
    }
}
