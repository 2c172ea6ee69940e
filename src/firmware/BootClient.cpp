#include "firmware/BootClient.h"

#include <algorithm>
#include <cstdlib>

#include "link/Frames.h"

namespace {

// The frames BuildBootFrame makes. Tunnel kinds travel inside an instrument frame.
namespace frame_kind {
constexpr std::int16_t kSync = 0;
constexpr std::int16_t kGo = 4;
constexpr std::int16_t kAddress = 5;
constexpr std::int16_t kErase = 8;
constexpr std::int16_t kEraseCode = 9;
constexpr std::int16_t kWrite = 10;
constexpr std::int16_t kRead = 11;
constexpr std::int16_t kTunnelSync = 20;
constexpr std::int16_t kTunnelErase = 21;
constexpr std::int16_t kTunnelEraseCode = 22;
constexpr std::int16_t kTunnelWrite = 23;
constexpr std::int16_t kTunnelAddress = 28;
constexpr std::int16_t kTunnelReset = 34;
}  // namespace frame_kind

// First waits of the frame kinds (seconds).
constexpr float kSyncAckWaitS = 0.9F;
constexpr float kCommandAckWaitS = 0.5F;
constexpr float kEraseAckWaitS = 0.8F;
constexpr float kEraseCodeAckWaitS = 1.0F;
constexpr float kTunnelAckWaitS = 1.0F;
constexpr float kTunnelEraseCodeAckWaitS = 10.0F;
constexpr float kTunnelResetAckWaitS = 0.1F;
constexpr float kDataAckWaitS = 0.8F;

// Second waits the commands give their frames (seconds).
constexpr float kSyncReplyWaitS = 2.0F;
constexpr float kStepReplyWaitS = 1.0F;
constexpr float kTunnelSyncReplyWaitS = 1.5F;
constexpr float kTunnelResetReplyWaitS = 0.5F;
// The whole answer of a Read Memory count: its acknowledge and up to 256 bytes (49 ms at 57600).
constexpr float kReadDataWaitS = 1.0F;

constexpr int kFailedExchangePauseMs = 200;
// A byte on the direct route: start bit, 8 data bits, even parity, stop bit.
constexpr double kBitsPerByte = 11.0;
constexpr int kSetupPauseMs = 50;
constexpr int kOpenPauseMs = 150;

constexpr std::array<std::uint8_t, 4> kMassEraseCode{0xFF, 0xFF, 0x00, 0x00};

// How a reply is judged once the first wait has ended.
enum class BootVerdict {
    Success,         // the acknowledge is among the first bytes
    Failure,         // ends now; NACK when a tested byte was 0x1F
    SecondWait,      // wait on; the exchange has failed
    SecondWaitGood,  // wait on; the exchange has succeeded (reset frame answered 79)
};
struct BootJudgement {
    BootVerdict verdict = BootVerdict::SecondWait;
    bool nack = false;
};

bool AnyNack(const std::uint8_t* reply, int from, int to)
{
    for (int i = from; i <= to; ++i)
        if (reply[i] == boot::kNack)
            return true;
    return false;
}

// Success when every byte from..to is the acknowledge; otherwise the NACK test over them.
BootJudgement Compare(const std::uint8_t* reply, int from, int to, std::uint8_t ackByte)
{
    for (int i = from; i <= to; ++i)
        if (reply[i] != ackByte)
            return {BootVerdict::Failure, AnyNack(reply, from, to)};
    return {BootVerdict::Success, false};
}

// `n` bytes of `reply` were in when the first wait ended.
BootJudgement JudgeBootReply(bool ackCheck, bool tunnel, int ackCount, std::uint8_t ackByte,
                             const std::uint8_t* reply, int n)
{
    if (!ackCheck) {
        if (n <= 0)
            return {BootVerdict::Failure, false};
        if (n == 1)
            return {BootVerdict::SecondWait, false};
        if (reply[1] == boot::kAck)
            return {BootVerdict::SecondWaitGood, false};
        return {BootVerdict::Failure, reply[1] == boot::kNack};
    }
    if (n < ackCount || n >= 4)
        return {BootVerdict::SecondWait, false};
    if (!tunnel) {
        if (n == 1)
            return Compare(reply, 0, 0, ackByte);
        if (n == 2)
            return Compare(reply, 0, 1, ackByte);
        return Compare(reply, 1, 2, ackByte);
    }
    if (n < 2)
        return {BootVerdict::SecondWait, false};
    if (n == 2)
        return Compare(reply, 1, 1, ackByte);
    return Compare(reply, 1, 2, ackByte);
}

std::array<std::uint8_t, 4> AddressBytes(std::uint32_t address)
{
    return {static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
            static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
}

std::string AsText(const std::array<std::uint8_t, 4>& bytes)
{
    return {static_cast<char>(bytes[0]), static_cast<char>(bytes[1]), static_cast<char>(bytes[2]),
            static_cast<char>(bytes[3])};
}

}  // namespace

std::string StringToHex(const std::string& text)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(text.size() * 2);
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        hex += kDigits[code >> 4];
        hex += kDigits[code & 0x0F];
    }
    return hex;
}

BootClient::BootClient(SerialLink& link, OperationSink& log, BootRoute route) : link_(link), log_(log), route_(route) {}

std::string BootClient::ReplyHex3() const
{
    const auto& r = link_.Boot.BootRxBuffer;
    return StringToHex(std::string{static_cast<char>(r[0]), static_cast<char>(r[1]), static_cast<char>(r[2])});
}

// ------------------------------------------------------------------------------- port

void BootClient::SetupBootPort(const std::string& baudText)
{
    link_.BootMode = true;
    link_.CloseSeriale();
    SerialPort& port = link_.port();
    port.SetPortNumber(link_.CommPortNumber);
    port.SetLineSettings(baudText + ",E,8,1");
    baud_ = std::atoi(baudText.c_str());
    DelayMs(kSetupPauseMs);
}

PortOpenResult BootClient::OpenBootPort()
{
    const PortOpenResult result = link_.OpenAsSetUp();
    if (!result.ok()) {
        const std::string name = "COM" + std::to_string(link_.CommPortNumber);
        if (result.kind == PortOpenResult::Kind::NotFound)
            link_.dialogs().Message(MsgIcon::Critical, "Error",
                                    "Error: " + name + "  (" + std::to_string(result.errorNumber) + ") " +
                                        result.description + kCrLf + "Serial port not available");
        else
            link_.dialogs().Message(MsgIcon::Critical, "Routine <OpenBootPort>",
                                    "Error :" + std::to_string(result.errorNumber) + kCrLf + result.description);
        return result;
    }
    DelayMs(kOpenPauseMs);
    return result;
}

void BootClient::CloseBootPort()
{
    link_.CloseSeriale();
}

void BootClient::DelayMs(int ms)
{
    // On the monotonic clock, which the millisecond counter follows.
    link_.Delay(ms / 1000.0);
}

// ------------------------------------------------------------------------------- frames

std::uint8_t BootClient::BootCheckByte(const Bytes& bytes) const
{
    std::uint8_t check = 0;
    for (const std::uint8_t b : bytes)
        check ^= static_cast<std::uint8_t>(b ^ 0xFF);
    return check;
}

void BootClient::BuildBootFrame()
{
    BootContext& b = context_;
    b.AckCheck = false;
    b.AckCount = 1;
    link_.Boot.Tunnel = false;

    const auto direct = [&](Bytes bytes, float ackWait) {
        b.TxBytes = std::move(bytes);
        b.AckCheck = true;
        b.AckWait = ackWait;
    };
    // Bootloader bytes followed by their check byte.
    const auto withCheck = [&](Bytes bytes) {
        bytes.push_back(BootCheckByte(bytes));
        return bytes;
    };
    const auto tunnel = [&](std::uint8_t pass, Bytes bootBytes, bool ackCheck, float ackWait) {
        bootBytes.insert(bootBytes.begin(), pass);
        b.TxBytes = BuildShortFrame(bootBytes);
        b.AckCheck = ackCheck;
        b.AckWait = ackWait;
        b.AckCount = 2;
        link_.Boot.Tunnel = true;
    };
    const Bytes address{b.Arg[0], b.Arg[1], b.Arg[2], b.Arg[3]};
    const Bytes code{b.Arg[0], b.Arg[1]};

    switch (b.FrameKind) {
    case frame_kind::kSync:
        direct({boot::kSync}, kSyncAckWaitS);
        break;
    case frame_kind::kGo:
    case frame_kind::kWrite:
    case frame_kind::kRead:
        direct(withCheck({b.Cmd}), kCommandAckWaitS);
        break;
    case frame_kind::kAddress:
        direct(withCheck(address), kCommandAckWaitS);
        break;
    case frame_kind::kErase:
        direct(withCheck({b.Cmd}), kEraseAckWaitS);
        break;
    case frame_kind::kEraseCode:
        direct(withCheck(code), kEraseCodeAckWaitS);
        break;
    case frame_kind::kTunnelSync:
        tunnel(boot::kPassCommand, {b.Cmd}, true, kTunnelAckWaitS);
        break;
    case frame_kind::kTunnelErase:
        tunnel(boot::kPassCommand, withCheck({b.Cmd}), true, kTunnelAckWaitS);
        break;
    case frame_kind::kTunnelEraseCode:
        tunnel(boot::kPassCommand, withCheck(code), true, kTunnelEraseCodeAckWaitS);
        break;
    case frame_kind::kTunnelWrite:
        tunnel(boot::kPassCommand, withCheck({b.Cmd}), true, kCommandAckWaitS);
        break;
    case frame_kind::kTunnelAddress:
        tunnel(boot::kPassCommand, withCheck(address), true, kCommandAckWaitS);
        break;
    case frame_kind::kTunnelReset:
        tunnel(boot::kPassReset, {}, false, kTunnelResetAckWaitS);
        break;
    default:
        b.TxBytes.clear();  // nothing goes out; the exchange fails
        break;
    }
    b.AckByte = boot::kAck;
    link_.BootMode = true;
}

void BootClient::ClearReply()
{
    link_.Boot.BootRxCount = 0;
    link_.Boot.BootRxBuffer[0] = link_.Boot.BootRxBuffer[1] = link_.Boot.BootRxBuffer[2] = 0;
}

BootError BootClient::BootExchange()
{
    link_.BootAck = false;
    ClearReply();
    const bool sent = !context_.TxBytes.empty() && link_.WriteRaw(context_.TxBytes);
    const BootError error = sent ? BootWaitReply() : BootError::NotSent;
    if (error != BootError::None)
        DelayMs(kFailedExchangePauseMs);
    return error;
}

BootError BootClient::BootWaitReply()
{
    const BootContext& b = context_;
    BootReplyArea& reply = link_.Boot;
    const int awaited = b.AckCount;
    link_.WaitFor(b.AckWait, [&] { return reply.BootRxCount >= awaited; });

    const BootJudgement judgement =
        JudgeBootReply(b.AckCheck, reply.Tunnel, b.AckCount, b.AckByte, reply.BootRxBuffer.data(), reply.BootRxCount);
    BootError error = BootError::NoAcknowledge;
    switch (judgement.verdict) {
    case BootVerdict::Success:
        link_.BootAck = true;
        return BootError::None;
    case BootVerdict::Failure:
        return judgement.nack ? BootError::Nack : BootError::NoAcknowledge;
    case BootVerdict::SecondWaitGood:
        error = BootError::None;
        break;
    case BootVerdict::SecondWait:
        break;
    }
    link_.WaitFor(b.ReplyWait, [&] { return link_.BootAck; });
    return error;
}

BootError BootClient::Exchange(std::int16_t kind, float replyWaitS, std::uint8_t cmd, const std::array<std::uint8_t, 4>& arg)
{
    context_.ReplyWait = replyWaitS;
    context_.FrameKind = kind;
    context_.Cmd = cmd;
    context_.Arg = arg;
    BuildBootFrame();
    return BootExchange();
}

// The data block of a Write Memory: count - 1, the data, their check byte. It follows the
// acknowledged address at once; the reply wait stays the address frame's, and no pause follows a
// failure.
BootError BootClient::SendDataBlock(std::span<const std::uint8_t> data)
{
    BootContext& b = context_;
    // Through the tunnel the block follows the pass-through command, in a long instrument frame.
    const std::size_t start = Tunnel() ? 1 : 0;
    Bytes block(start + data.size() + 2);
    block[0] = boot::kPassPage;
    block[start] = static_cast<std::uint8_t>(data.size() - 1);
    std::copy(data.begin(), data.end(), block.begin() + static_cast<std::ptrdiff_t>(start + 1));
    std::uint8_t check = 0;
    for (std::size_t i = start; i + 1 < block.size(); ++i)
        check ^= block[i];
    block.back() = check;
    b.TxBytes = Tunnel() ? BuildLongFrame(block) : std::move(block);
    b.AckCheck = true;
    b.AckCount = Tunnel() ? 2 : 1;
    b.AckWait = kDataAckWaitS;
    b.AckByte = boot::kAck;
    link_.Boot.Tunnel = Tunnel();
    link_.BootMode = true;
    ClearReply();
    if (!link_.WriteRaw(b.TxBytes))
        return BootError::NotSent;
    // The acknowledge comes once the block has crossed the line and is programmed.
    if (!Tunnel() && baud_ > 0)
        link_.host().ExpectAnswerAt(link_.host().Now() + static_cast<double>(b.TxBytes.size()) * kBitsPerByte / baud_);
    return BootWaitReply();
}

// The count of a Read Memory, n - 1 and its complement, answered by the acknowledge and the n
// bytes. Anything else first, or fewer bytes within the wait, fails it.
BootError BootClient::ReceiveData(std::size_t count, Bytes& into)
{
    const auto last = static_cast<std::uint8_t>(count - 1);
    context_.TxBytes = {last, static_cast<std::uint8_t>(last ^ 0xFF)};
    link_.Boot.Tunnel = false;
    link_.BootMode = true;
    link_.BootAck = false;
    ClearReply();
    if (!link_.WriteRaw(context_.TxBytes))
        return BootError::NotSent;
    const BootReplyArea& reply = link_.Boot;
    const int whole = static_cast<int>(count) + 1;
    link_.WaitFor(kReadDataWaitS, [&] {
        return reply.BootRxCount >= whole || (reply.BootRxCount > 0 && reply.BootRxBuffer[0] != boot::kAck);
    });
    if (reply.BootRxCount >= whole && reply.BootRxBuffer[0] == boot::kAck) {
        into.assign(reply.BootRxBuffer.begin() + 1, reply.BootRxBuffer.begin() + whole);
        return BootError::None;
    }
    const bool nack = reply.BootRxCount > 0 && reply.BootRxBuffer[0] == boot::kNack;
    DelayMs(kFailedExchangePauseMs);
    return nack ? BootError::Nack : BootError::NoAcknowledge;
}

// ------------------------------------------------------------------------------- commands

BootError BootClient::Sync()
{
    Log(" Baudrate detection : ");
    const BootError error = Tunnel() ? Exchange(frame_kind::kTunnelSync, kTunnelSyncReplyWaitS, boot::kSync)
                                     : Exchange(frame_kind::kSync, kSyncReplyWaitS);
    LogStepOutcome(error);
    return error;
}

// After a step's label: "OK"; a failure ends the line through the tunnel, and on the direct route
// says "error" with the reply.
void BootClient::LogStepOutcome(BootError error)
{
    if (error == BootError::None)
        Log(std::string("OK") + kCrLf);
    else if (Tunnel())
        Log(kCrLf);
    else
        Log(std::string("error") + kCrLf + " Rx(3): " + ReplyHex3());
}

BootError BootClient::Erase()
{
    const auto step = [&](const char* label, std::int16_t kind, std::uint8_t cmd, const std::array<std::uint8_t, 4>& arg) {
        Log(label);
        const BootError error = Exchange(kind, kStepReplyWaitS, cmd, arg);
        LogStepOutcome(error);
        return error;
    };
    const BootError error = Tunnel() ? step(" MASS ERASE cmd     : ", frame_kind::kTunnelErase, boot::kExtendedErase, {})
                                     : step(" ERASE command      : ", frame_kind::kErase, boot::kExtendedErase, {});
    if (error != BootError::None)
        return error;
    return step(" MASS ERASE code    : ", Tunnel() ? frame_kind::kTunnelEraseCode : frame_kind::kEraseCode, 0,
                kMassEraseCode);
}

BootError BootClient::Write(std::uint32_t address, std::span<const std::uint8_t> data)
{
    if (data.empty() || data.size() > boot::kMaxWriteBytes)
        return BootError::NotSent;
    // On the direct route a frame not acknowledged is shown with what came back; through the
    // tunnel the caller reports.
    const auto failed = [&](BootError error, const std::string& text) {
        if (!Tunnel())
            Log(text);
        return error;
    };
    const auto addressBytes = AddressBytes(address);
    BootError error = Exchange(Tunnel() ? frame_kind::kTunnelWrite : frame_kind::kWrite, kStepReplyWaitS, boot::kWriteMemory);
    if (error != BootError::None)
        return failed(error, std::string(kCrLf) + " Tx: 0x31   " + " Rx(3): " + ReplyHex3() + kCrLf);
    error = Exchange(Tunnel() ? frame_kind::kTunnelAddress : frame_kind::kAddress, kStepReplyWaitS, 0, addressBytes);
    if (error != BootError::None)
        return failed(error, std::string(kCrLf) + " Addr: " + StringToHex(AsText(addressBytes)) + kCrLf + "  Rx(3): " +
                                 ReplyHex3());
    error = SendDataBlock(data);
    if (error != BootError::None) {
        const BootReplyArea& reply = link_.Boot;
        const auto count = static_cast<std::size_t>(std::max(reply.BootRxCount, 0));
        return failed(error, std::string(kCrLf) + " data: " + BytesToHex(reply.BootRxBuffer.data(), count) + kCrLf +
                                 " Rx(3): " + ReplyHex3());
    }
    return BootError::None;
}

BootError BootClient::Read(std::uint32_t address, std::size_t count, Bytes& into)
{
    into.clear();
    if (Tunnel() || count == 0 || count > boot::kMaxReadBytes)
        return BootError::NotSent;
    BootError error = Exchange(frame_kind::kRead, kStepReplyWaitS, boot::kReadMemory);
    if (error == BootError::None)
        error = Exchange(frame_kind::kAddress, kStepReplyWaitS, 0, AddressBytes(address));
    if (error == BootError::None)
        error = ReceiveData(count, into);
    return error;
}

BootError BootClient::Go(std::uint32_t address)
{
    if (Tunnel())
        return BootError::NotSent;
    Log(" Run command        :");
    BootError error = Exchange(frame_kind::kGo, kStepReplyWaitS, boot::kGo);
    if (error == BootError::None)
        error = Exchange(frame_kind::kAddress, kStepReplyWaitS, 0, AddressBytes(address));
    Log(error == BootError::None ? std::string(" OK") + kCrLf : std::string(" error !") + kCrLf);
    return error;
}

BootError BootClient::Reset()
{
    if (!Tunnel())
        return BootError::NotSent;
    Log(" Reset SW Command: ");
    const BootError error = Exchange(frame_kind::kTunnelReset, kTunnelResetReplyWaitS);
    Log(std::string("OK ") + kCrLf);
    return error;
}
