#include "service/WifiCommands.h"

#include <algorithm>

#include "core/ResultCodes.h"
#include "link/Answers.h"
#include "link/Frames.h"
#include "service/WifiDecode.h"
#include "service/WifiValues.h"

namespace {

// ACK, SOH, LEN, status, CKS, LF, EOT: an answer without data.
constexpr int kStatusOnlyCount = 7;
// A password answer of one byte: the byte may be the module's refusal.
constexpr int kPasswordStatusCount = 8;
constexpr int kPasswordStatusIndex = 4;

std::string ReceivedHex(const RxState& rx)
{
    const int usable = std::clamp(rx.RxCount, 0, static_cast<int>(rx.RxBuffer.size()));
    return BytesToHex(rx.RxBuffer, static_cast<std::size_t>(usable));
}

std::string ShortCountText(int count)
{
    return "Len(Rx)= " + std::to_string(count) + "  less than 6 bytes ..";
}

// Registers whose value is a number or four numbers: a bare status carries no value of theirs.
bool NeedsData(const WifiRegister* reg)
{
    if (!reg)
        return false;
    const WifiKind kind = reg->kind;
    return kind == WifiKind::Speed || kind == WifiKind::ApMode || kind == WifiKind::StationMode ||
           reg->HoldsFourNumbers();
}

bool IsPassword(const WifiRegister* reg)
{
    return reg && reg->kind == WifiKind::Password;
}

bool IsOkStatus(std::uint8_t status)
{
    return status == ctl::ACK || status == '0';
}

// A password's bare status is an empty password only when it says OK: a refusal saved as an empty
// password would clear the real one when the file is written back.
int JudgeBarePasswordStatus(const RxState& rx, int n, WifiRegisterSet& record)
{
    const int code = DecodeAnswer(3, rx.RxBuffer, rx.RxCount, record.ReplyText);
    if (code != code::kOk)
        return code;
    if (!IsOkStatus(rx.RxBuffer[3]))
        return code::kMalformed;  // "No Valid block"
    return DecodeWifiAnswer(rx.RxBuffer, rx.RxCount, n, record);
}

int JudgePassword(const RxState& rx, int n, WifiRegisterSet& record)
{
    const int count = rx.RxCount;
    if (count < kStatusOnlyCount) {
        record.ValueText = ShortCountText(count);
        return code::kMalformed;
    }
    if (count == kStatusOnlyCount)
        return JudgeBarePasswordStatus(rx, n, record);
    if (count == kPasswordStatusCount) {
        switch (rx.RxBuffer[kPasswordStatusIndex]) {
        case ctl::NAK:
            record.ReplyText = "NAK";
            return code::kNak;
        case '1':
            record.ReplyText = "NO OK !!";
            return code::kNotOk;
        case '2':
            record.ReplyText = "Busy ...";
            return code::kBusy;
        default:
            break;
        }
    }
    return DecodeWifiAnswer(rx.RxBuffer, count, n, record);
}

}  // namespace

int JudgeWifiReadAnswer(const RxState& rx, int n, WifiRegisterSet& record)
{
    record.RxHex = ReceivedHex(rx);
    record.ReplyText.clear();
    record.ValueText.clear();
    if (!rx.RxFrameDone) {
        record.ValueText = " NO EOT";
        return code::kNoFrame;
    }
    // The data start at a fixed index of a short frame only.
    if (!IsWellFormedAnswer(rx) || rx.RxBuffer[1] != ctl::SOH) {
        record.ReplyText = MalformedAnswerText(rx);
        return code::kMalformed;
    }
    const WifiRegister* reg = FindWifiRegister(n);
    if (IsPassword(reg))
        return JudgePassword(rx, n, record);
    const int count = rx.RxCount;
    if (count > kStatusOnlyCount)
        return DecodeWifiAnswer(rx.RxBuffer, count, n, record);
    if (count == kStatusOnlyCount) {
        const int code = DecodeAnswer(3, rx.RxBuffer, count, record.ReplyText);
        if (code == code::kOk && NeedsData(reg)) {
            record.ReplyText = MalformedAnswerText(rx);
            return code::kMalformed;
        }
        return code;
    }
    record.ValueText = ShortCountText(count);
    return code::kMalformed;
}

int WifiReadRegister(SerialLink& link, int n, WifiRegisterSet& record)
{
    if (n < 0 || n > 0xFF)
        return code::kRefused;
    link.SendFrame({'1', static_cast<std::uint8_t>(n)}, kAnswerWaitS);
    return JudgeWifiReadAnswer(link.Rx, n, record);
}

int WifiWriteRegister(SerialLink& link, int n, WifiRegisterSet& record)
{
    record.ValueText.clear();
    record.ReplyText.clear();
    record.RxHex.clear();
    const RegisterPayload value = BuildRegisterPayload(n, record);
    if (value.status != RegisterPayload::Status::Ready)
        return code::kRefused;
    Bytes payload;
    payload.reserve(2 + value.bytes.size());
    payload.push_back('0');
    payload.push_back(static_cast<std::uint8_t>(n));
    payload.insert(payload.end(), value.bytes.begin(), value.bytes.end());
    link.SendFrame(payload, kAnswerWaitS);
    record.RxHex = ReceivedHex(link.Rx);
    if (!link.Rx.RxFrameDone) {
        record.ValueText = "NO EOT";
        return code::kNoFrame;
    }
    if (!IsWellFormedAnswer(link.Rx)) {
        record.ReplyText = MalformedAnswerText(link.Rx);
        return code::kMalformed;
    }
    return DecodeAnswer(3, link.Rx.RxBuffer, link.Rx.RxCount, record.ReplyText);
}
