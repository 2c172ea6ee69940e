#include "service/WifiDecode.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <variant>

#include "core/ResultCodes.h"
#include "link/Answers.h"
#include "link/Frames.h"

namespace {

constexpr int kDataStart = 4;
// ACK, SOH, LEN, the first payload byte, then CKS, LF, EOT around the data.
constexpr int kFrameOverhead = 7;
constexpr int kQuadCount = kFrameOverhead + 4;

struct Bit {
    int byte;
    int mask;
    const char* meaning;
};

constexpr Bit kFunctionBits[] = {
    {2, 0x10, " Enable MQTT connection"},
    {2, 0x01, " Enable station Wi-Fi functionality"},
    {3, 0x10, " Enable TCP socket"},
    {3, 0x01, " Enable AP Wi-Fi functionality"},
};

constexpr Bit kStatusBits[] = {
    {0, 0x80, " Warn.: FIFOs reset, data may have been lost"},
    {1, 0x08, " Protocol err.: Unexpected SPI_C/D# signal"},
    {1, 0x04, " Protocol err.: CRC error"},
    {1, 0x02, " Protocol err.: SOH or EOP not detected"},
    {1, 0x01, " Protocol err.: data block or cmd length mismatch"},
    {2, 0x80, " Data from MQTT server is available"},
    {2, 0x20, " MQTT client connected to the specified broker"},
    {2, 0x10, " MQTT functionality is enabled"},
    {2, 0x02, " Client connected to the configured router"},
    {2, 0x01, " Client functionality is enabled"},
    {3, 0x10, " TCP socket is enabled"},
    {3, 0x08, " Data from TCP socket is available"},
    {3, 0x04, " TCP socket Cconnection established"},
    {3, 0x02, " Wi-Fi device is connected to the module AP"},
    {3, 0x01, " AP functionality is enabled"},
};

std::string Flag(const WifiQuad& d, const Bit& bit)
{
    return (d[static_cast<std::size_t>(bit.byte)] & bit.mask) != 0 ? "1" : "0";
}

std::string Dotted(const WifiQuad& d)
{
    return std::to_string(d[0]) + "." + std::to_string(d[1]) + "." + std::to_string(d[2]) + "." + std::to_string(d[3]);
}

std::string FunctionDescription(const WifiQuad& d)
{
    std::string text;
    for (const Bit& bit : kFunctionBits)
        text += Flag(d, bit) + bit.meaning + kCrLf;
    return text;
}

std::string StatusDescription(const std::string& valueText, const WifiQuad& d)
{
    const std::string rule = std::string(20, '-') + kCrLf;
    std::string text = valueText + kCrLf + rule;
    int byte = 0;
    for (std::size_t i = 0; i < std::size(kStatusBits); ++i) {
        const Bit& bit = kStatusBits[i];
        if (bit.byte != byte) {
            text += rule;
            byte = bit.byte;
        }
        text += Flag(d, bit) + bit.meaning;
        if (i + 1 < std::size(kStatusBits))
            text += kCrLf;
    }
    return text;
}

// Data that are not what the register holds.
int NotItsData(const Bytes& buffer, int count, WifiRegisterSet& record)
{
    record.ReplyText = "Error (Rx: " + BytesToHex(buffer, static_cast<std::size_t>(count)) + ")";
    return code::kMalformed;
}

// An answer the register cannot take is judged by the byte where its data would start; a status
// that reads "OK" there still carries no value, so it is no success.
int Undecodable(const Bytes& buffer, int count, WifiRegisterSet& record)
{
    const int code = DecodeAnswer(kDataStart, buffer, count, record.ReplyText);
    if (code != code::kOk)
        return code;
    return NotItsData(buffer, count, record);
}

// The speed register holds a decimal number; anything else is not a speed.
bool SpeedOf(const std::string& text, std::int32_t& speed)
{
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
        return false;
    const double value = LeadingNumber(text);
    if (value > std::numeric_limits<std::int32_t>::max())
        return false;
    speed = static_cast<std::int32_t>(RoundHalfEven(value));
    return true;
}

// The answer to a register read: the data from index 4 to the three bytes that end the frame.
struct Answer {
    const Bytes& buffer;
    int count;

    int DataLength() const { return count - kFrameOverhead; }
    std::string Text() const
    {
        return DataLength() > 0 ? BytesToText(buffer, kDataStart, static_cast<std::size_t>(DataLength())) : std::string();
    }
};

int DecodeSpeed(const Answer& answer, const WifiRegister& reg, WifiRegisterSet& record)
{
    if (answer.DataLength() <= 0)
        return Undecodable(answer.buffer, answer.count, record);
    std::int32_t& speed = *FieldOf<std::int32_t>(record, reg.number);
    if (!SpeedOf(answer.Text(), speed))
        return NotItsData(answer.buffer, answer.count, record);
    record.ValueText = std::to_string(speed);
    return code::kOk;
}

int DecodeApMode(const Answer& answer, const WifiRegister& reg, WifiRegisterSet& record)
{
    if (answer.DataLength() != 1)
        return Undecodable(answer.buffer, answer.count, record);
    const std::uint8_t digit = answer.buffer[kDataStart];
    if (digit == ctl::NAK)
        return Undecodable(answer.buffer, answer.count, record);
    if (digit < '0' || digit > '9')
        return NotItsData(answer.buffer, answer.count, record);
    const int mode = digit - '0';
    *FieldOf<std::int16_t>(record, reg.number) = static_cast<std::int16_t>(mode);
    record.ValueText = std::to_string(mode);
    record.ReplyText = "Authentication mode: " + record.ValueText + " " + AuthenticationModeName(mode);
    return code::kOk;
}

int DecodeStationMode(const Answer& answer, const WifiRegister& reg, WifiRegisterSet& record)
{
    if (answer.DataLength() <= 0)
        return Undecodable(answer.buffer, answer.count, record);
    const std::string text = answer.Text();
    *FieldOf<std::int16_t>(record, reg.number) =
        static_cast<std::int16_t>(std::clamp<long long>(RoundHalfEven(LeadingNumber(text)), -32768, 32767));
    record.ValueText = text;
    return code::kOk;
}

// A password may be empty: an answer without data says so.
int DecodePassword(const Answer& answer, const WifiRegister& reg, WifiRegisterSet& record)
{
    if (answer.DataLength() < 0)
        return Undecodable(answer.buffer, answer.count, record);
    const std::string text = answer.Text();
    *FieldOf<std::string>(record, reg.number) = text;
    record.ValueText = text;
    if (text.empty())
        record.ReplyText = "nessuna password";
    return code::kOk;
}

// A text the module only reports (its firmware, a MAC address) is shown in the log as well.
int DecodeText(const Answer& answer, const WifiRegister& reg, WifiRegisterSet& record)
{
    if (answer.DataLength() <= 0)
        return Undecodable(answer.buffer, answer.count, record);
    const std::string text = answer.Text();
    *FieldOf<std::string>(record, reg.number) = text;
    record.ValueText = text;
    if (!reg.Writable())
        record.ReplyText = text;
    return code::kOk;
}

int DecodeFourNumbers(const Answer& answer, const WifiRegister& reg, WifiRegisterSet& record)
{
    // Four numbers need four data bytes; fewer would take the frame's own bytes for them.
    if (answer.count < kQuadCount)
        return Undecodable(answer.buffer, answer.count, record);
    const Bytes& b = answer.buffer;
    const WifiQuad d{b[kDataStart], b[kDataStart + 1], b[kDataStart + 2], b[kDataStart + 3]};
    *FieldOf<WifiQuad>(record, reg.number) = d;
    record.ValueText = Dotted(d);
    if (reg.kind == WifiKind::Functions)
        record.ReplyText = FunctionDescription(d);
    else if (reg.kind == WifiKind::Status)
        record.ReplyText = StatusDescription(record.ValueText, d);
    return code::kOk;
}

}  // namespace

std::string AuthenticationModeName(int mode)
{
    static const char* const names[] = {"OPEN", "AUTH_WEP", "AUTH_WPA_PSK", "AUTH_WPA2_PSK", "AUTH_WPA_WPA2_PSK",
                                        "AUTH_WPA2_ENTERPRISE"};
    return mode >= 0 && mode <= 5 ? names[mode] : "";
}

int DecodeWifiAnswer(const Bytes& buffer, int count, int n, WifiRegisterSet& record)
{
    record.ReplyText.clear();
    record.ValueText.clear();
    count = std::clamp(count, 0, static_cast<int>(buffer.size()));
    const WifiRegister* reg = FindWifiRegister(n);
    if (!reg || std::holds_alternative<std::monostate>(reg->field)) {
        record.ValueText = "Register: 0x" + HexNumber(n) + "  not found!";
        return code::kMalformed;
    }
    const Answer answer{buffer, count};
    switch (reg->kind) {
    case WifiKind::Speed: return DecodeSpeed(answer, *reg, record);
    case WifiKind::ApMode: return DecodeApMode(answer, *reg, record);
    case WifiKind::StationMode: return DecodeStationMode(answer, *reg, record);
    case WifiKind::Password: return DecodePassword(answer, *reg, record);
    case WifiKind::Address:
    case WifiKind::Functions:
    case WifiKind::Status: return DecodeFourNumbers(answer, *reg, record);
    case WifiKind::Text:
    case WifiKind::TcpPort:
    case WifiKind::Reboot: break;
    }
    return DecodeText(answer, *reg, record);
}
