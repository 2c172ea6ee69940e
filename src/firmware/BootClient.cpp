#include "firmware/BootClient.h"

#include "link/Frames.h"

namespace {

// Waits of the frame kinds (seconds).
constexpr float kSyncAckWaitS = 0.9F;
constexpr float kCommandAckWaitS = 0.5F;
constexpr float kEraseAckWaitS = 0.8F;
constexpr float kEraseCodeAckWaitS = 1.0F;
constexpr float kTunnelAckWaitS = 1.0F;
constexpr float kTunnelEraseCodeAckWaitS = 10.0F;
constexpr float kTunnelResetAckWaitS = 0.1F;

// Reply waits the steps give their frames (seconds).
constexpr float kSyncReplyWaitS = 2.0F;
constexpr float kStepReplyWaitS = 1.0F;
constexpr float kTunnelSyncReplyWaitS = 1.5F;
constexpr float kTunnelResetReplyWaitS = 0.5F;

constexpr int kFailedExchangePauseMs = 200;
constexpr int kSetupPauseMs = 50;
constexpr int kOpenPauseMs = 150;

constexpr std::array<std::uint8_t, 4> kMassEraseCode{0xFF, 0xFF, 0x00, 0x00};
constexpr std::array<std::uint8_t, 4> kFlashStartArg{0x08, 0x00, 0x00, 0x00};

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

}  // namespace

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

BootClient::BootClient(SerialLink& link) : link_(link) {}

void BootClient::Log(const std::string& text)
{
    if (Context().LogBox)
        Context().LogBox->Append(text);
}

std::string BootClient::ReplyHex3() const
{
    const auto& r = Context().BootRxBuffer;
    return StringToHex(std::string{static_cast<char>(r[0]), static_cast<char>(r[1]), static_cast<char>(r[2])});
}

// ------------------------------------------------------------------------------- port

void BootClient::SetupBootPort(const std::string& baudText)
{
    SerialPort& port = link_.port();
    if (port.IsOpen())
        port.Close();
    port.SetPortNumber(link_.CommPortNumber);
    port.SetLineSettings(baudText + ",E,8,1");
    DelayMs(kSetupPauseMs);
}

bool BootClient::OpenBootPort()
{
    SerialPort& port = link_.port();
    if (!port.IsOpen()) {
        const PortOpenResult result = port.Open();
        if (!result.ok()) {
            const std::string name = "COM" + std::to_string(link_.CommPortNumber);
            if (result.kind == PortOpenResult::Kind::NotFound)
                link_.dialogs().Message(MsgIcon::Critical, "Error",
                                        "Error: " + name + "  (" + std::to_string(result.errorNumber) + ") " +
                                            result.description + kCrLf + "Serial port not available");
            else
                link_.dialogs().Message(MsgIcon::Critical, "Routine <OpenBootPort>",
                                        "Error :" + std::to_string(result.errorNumber) + kCrLf + result.description);
            return false;
        }
    }
    DelayMs(kOpenPauseMs);
    return true;
}

void BootClient::CloseBootPort()
{
    if (link_.port().IsOpen())
        link_.port().Close();
}

void BootClient::DelayMs(int ms)
{
    // On the monotonic clock, which the millisecond counter follows.
    link_.Delay(ms / 1000.0);
}

// ------------------------------------------------------------------------------- frames

std::uint8_t BootClient::BootCheckByte(int n) const
{
    const Bytes& tx = Context().TxBytes;
    std::uint8_t check = 0;
    for (int i = 0; i < n && i < static_cast<int>(tx.size()); ++i)
        check ^= static_cast<std::uint8_t>(tx[static_cast<std::size_t>(i)] ^ 0xFF);
    return check;
}

void BootClient::WrapInInstrumentFrame(const Bytes& bootBytes)
{
    Context().TxBytes = BuildShortFrame(bootBytes);
}

void BootClient::BuildBootFrame()
{
    BootContext& b = Context();
    link_.BootMode = false;
    b.ErrText.clear();
    b.AckCheck = false;
    b.AckCount = 1;
    b.Tunnel = false;

    const auto direct = [&](Bytes bytes, float ackWait) {
        b.TxBytes = std::move(bytes);
        b.AckCheck = true;
        b.AckWait = ackWait;
    };
    // Bootloader bytes followed by their check byte over `n` of them.
    const auto withCheck = [&](Bytes bytes) {
        b.TxBytes = bytes;
        bytes.push_back(BootCheckByte(static_cast<int>(bytes.size())));
        return bytes;
    };
    const auto tunnel = [&](std::uint8_t pass, Bytes bootBytes, bool ackCheck, float ackWait) {
        bootBytes.insert(bootBytes.begin(), pass);
        WrapInInstrumentFrame(bootBytes);
        b.AckCheck = ackCheck;
        b.AckWait = ackWait;
        b.AckCount = 2;
        b.Tunnel = true;
    };
    const Bytes address{b.Arg[0], b.Arg[1], b.Arg[2], b.Arg[3]};
    const Bytes code{b.Arg[0], b.Arg[1]};

    switch (b.FrameKind) {
    case frame_kind::kSync:
        direct({boot::kSync}, kSyncAckWaitS);
        break;
    case frame_kind::kGo:
    case frame_kind::kWrite:
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

void BootClient::BootExchange()
{
    BootContext& b = Context();
    link_.BootAck = false;
    b.BootRxCount = 0;
    link_.BootError = false;
    b.BootRxBuffer[0] = b.BootRxBuffer[1] = b.BootRxBuffer[2] = 0;
    if (b.TxBytes.empty() || !link_.WriteRaw(b.TxBytes))
        link_.BootError = true;
    else
        BootWaitReply();
    if (link_.BootError)
        DelayMs(kFailedExchangePauseMs);
}

void BootClient::BootWaitReply()
{
    BootContext& b = Context();
    link_.BootError = true;
    const int awaited = b.AckCount;
    link_.WaitFor(b.AckWait, [&] { return b.BootRxCount >= awaited; });

    const BootJudgement judgement =
        JudgeBootReply(b.AckCheck, b.Tunnel, b.AckCount, b.AckByte, b.BootRxBuffer.data(), b.BootRxCount);
    switch (judgement.verdict) {
    case BootVerdict::Success:
        link_.BootAck = true;
        link_.BootError = false;
        return;
    case BootVerdict::Failure:
        if (judgement.nack)
            b.ErrText = kNackText;
        return;
    case BootVerdict::SecondWaitGood:
        link_.BootError = false;
        break;
    case BootVerdict::SecondWait:
        break;
    }
    link_.WaitFor(b.ReplyWait, [&] { return link_.BootAck; });
}

bool BootClient::Exchange(std::int16_t kind, float replyWaitS, std::uint8_t cmd, const std::array<std::uint8_t, 4>& arg)
{
    BootContext& b = Context();
    b.ReplyWait = replyWaitS;
    b.FrameKind = kind;
    b.Cmd = cmd;
    b.Arg = arg;
    BuildBootFrame();
    BootExchange();
    return !link_.BootError;
}

// ------------------------------------------------------------------------------- steps

bool BootClient::BootSync()
{
    Log(" Baudrate detection : ");
    if (Exchange(frame_kind::kSync, kSyncReplyWaitS)) {
        Log(std::string("OK") + kCrLf);
        return true;
    }
    Log(std::string("error") + kCrLf + " Rx(3): " + ReplyHex3());
    return false;
}

bool BootClient::BootMassErase()
{
    const auto failed = [&] {
        Log(std::string("error") + kCrLf + " Rx(3): " + ReplyHex3());
        return false;
    };
    Log(" ERASE command      : ");
    if (!Exchange(frame_kind::kErase, kStepReplyWaitS, boot::kExtendedErase))
        return failed();
    Log(std::string("OK") + kCrLf);
    Log(" MASS ERASE code    : ");
    if (!Exchange(frame_kind::kEraseCode, kStepReplyWaitS, 0, kMassEraseCode))
        return failed();
    Log(std::string("OK") + kCrLf);
    return true;
}

bool BootClient::BootGo()
{
    Log(" Run command        :");
    if (Exchange(frame_kind::kGo, kStepReplyWaitS, boot::kGo) &&
        Exchange(frame_kind::kAddress, kStepReplyWaitS, 0, kFlashStartArg)) {
        Log(std::string(" OK") + kCrLf);
        return true;
    }
    Log(std::string(" error !") + kCrLf);
    return false;
}

bool BootClient::TunnelSync()
{
    Log(" Baudrate detection : ");
    if (Exchange(frame_kind::kTunnelSync, kTunnelSyncReplyWaitS, boot::kSync)) {
        Log(std::string("OK") + kCrLf);
        return true;
    }
    Log(kCrLf);
    return false;
}

bool BootClient::TunnelMassErase()
{
    Log(" MASS ERASE cmd     : ");
    if (!Exchange(frame_kind::kTunnelErase, kStepReplyWaitS, boot::kExtendedErase)) {
        Log(kCrLf);
        return false;
    }
    Log(std::string("OK") + kCrLf);
    Log(" MASS ERASE code    : ");
    if (!Exchange(frame_kind::kTunnelEraseCode, kStepReplyWaitS, 0, kMassEraseCode)) {
        Log(kCrLf);
        return false;
    }
    Log(std::string("OK") + kCrLf);
    return true;
}

bool BootClient::TunnelReset()
{
    Log(" Reset SW Command: ");
    Exchange(frame_kind::kTunnelReset, kTunnelResetReplyWaitS);
    Log(std::string("OK ") + kCrLf);
    return true;
}
