#include "service/WifiValues.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace {

// Larger than any byte, small enough for every sum.
constexpr int kSaturated = 99999;
// Characters of the speed text sent.
constexpr std::size_t kSpeedDigits = 4;

bool AllDigits(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// Digits only; empty reads 0.
bool GroupNumber(const std::string& text, int& value)
{
    if (!AllDigits(text))
        return false;
    long long number = 0;
    for (const char c : text)
        number = std::min<long long>(number * 10 + (c - '0'), kSaturated);
    value = static_cast<int>(number);
    return true;
}

std::size_t CharacterCount(const std::string& utf8)
{
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool StartsWithNumber(const std::string& text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    if (i < text.size() && text[i] == '.')
        ++i;
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
}

long long NumberOf(const std::string& text)
{
    return RoundHalfEven(LeadingNumber(text));
}

std::optional<Bytes> TextBytes(const std::string& text)
{
    auto bytes = TextToLatin1(text);
    if (!bytes || bytes->size() > kMaxRegisterText)
        return std::nullopt;
    return bytes;
}

std::optional<Bytes> QuadBytes(const WifiQuad& quad)
{
    Bytes bytes;
    for (const int value : quad) {
        if (value < 0 || value > 255)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

RegisterPayload Payload(std::optional<Bytes> bytes)
{
    if (!bytes)
        return {RegisterPayload::Status::Unencodable, {}};
    return {RegisterPayload::Status::Ready, std::move(*bytes)};
}

// A register the register list offers for writing; the register file writes others as well.
bool SingleWritable(const WifiRegister* reg)
{
    return reg && reg->Listed() && reg->Writable();
}

using Outcome = RegisterValueCheck::Outcome;

constexpr long long kLastMode = 5;

// At most five characters, written as the number they start with.
RegisterValueCheck CheckTcpPort(const std::string& text, std::string& port)
{
    RegisterValueCheck check;
    if (CharacterCount(text) > kMaxTcpPortText) {
        check.logText = std::string("troppi caratteri:  max=5") + kCrLf;
        check.outcome = Outcome::Refused;
    } else if (!StartsWithNumber(text)) {
        check.outcome = Outcome::Refused;
    } else {
        port = std::to_string(NumberOf(text));
        check.boxText = port;
    }
    return check;
}

// The module takes the speed's first four digits (1152 for 115200).
RegisterPayload SpeedPayload(std::int32_t speed)
{
    const std::string digits = std::to_string(speed);
    if (speed < 0 || digits.size() < kSpeedDigits)
        return {RegisterPayload::Status::Unencodable, {}};
    return Payload(Bytes(digits.begin(), digits.begin() + kSpeedDigits));
}

}  // namespace

std::string WithoutBlanks(const std::string& text)
{
    std::string out;
    std::copy_if(text.begin(), text.end(), std::back_inserter(out), [](char c) { return c != ' '; });
    return out;
}

bool ParseDottedQuad(const std::string& text, WifiQuad& field)
{
    std::string copy = text;
    std::size_t group = 0;
    while (!copy.empty() && group < field.size()) {
        const std::size_t dot = copy.find('.');
        if (dot == std::string::npos) {
            if (!GroupNumber(copy, field[group]))
                return false;
            copy.clear();
        } else if (dot < 4) {
            if (!GroupNumber(copy.substr(0, dot), field[group]))
                return false;
            ++group;
            if (dot + 1 >= copy.size())
                return false;  // the text ends with a dot
            copy = copy.substr(dot + 1);
        } else {
            return false;  // a group of four or more characters
        }
    }
    return true;
}

RegisterValueCheck CheckRegisterValue(int n, const std::string& text, const FunctionBoxes& functionBoxes,
                                      WifiRegisterSet& record)
{
    RegisterValueCheck check;
    const WifiRegister* reg = FindWifiRegister(n);
    if (!SingleWritable(reg))
        return check;
    switch (reg->kind) {
    case WifiKind::Speed: {
        const long long speed = NumberOf(text);
        if (speed < std::numeric_limits<std::int32_t>::min() || speed > std::numeric_limits<std::int32_t>::max())
            check.outcome = Outcome::Unencodable;
        else
            *FieldOf<std::int32_t>(record, n) = static_cast<std::int32_t>(speed);
        break;
    }
    case WifiKind::ApMode:
    case WifiKind::StationMode: {
        const long long mode = NumberOf(text);
        if (!StartsWithNumber(text) || mode < 0 || mode > kLastMode)
            check.outcome = Outcome::Refused;
        else
            *FieldOf<std::int16_t>(record, n) = static_cast<std::int16_t>(mode);
        break;
    }
    case WifiKind::Text:
    case WifiKind::Password: *FieldOf<std::string>(record, n) = text; break;
    case WifiKind::Address:
        if (!ParseDottedQuad(text, *FieldOf<WifiQuad>(record, n)))
            check.outcome = Outcome::Refused;
        break;
    case WifiKind::TcpPort: return CheckTcpPort(text, *FieldOf<std::string>(record, n));
    case WifiKind::Functions: *FieldOf<WifiQuad>(record, n) = FunctionsOfBoxes(functionBoxes); break;
    case WifiKind::Reboot:
    case WifiKind::Status: break;
    }
    return check;
}

RegisterPayload BuildRegisterPayload(int n, const WifiRegisterSet& record)
{
    const WifiRegister* reg = FindWifiRegister(n);
    if (!SingleWritable(reg))
        return {RegisterPayload::Status::NotWritable, {}};
    switch (reg->kind) {
    case WifiKind::Reboot: return {RegisterPayload::Status::Ready, {}};
    case WifiKind::Speed: return SpeedPayload(*FieldOf<std::int32_t>(record, n));
    case WifiKind::ApMode: {
        const int mode = *FieldOf<std::int16_t>(record, n);
        if (mode < 0 || mode > 255)
            return {RegisterPayload::Status::Unencodable, {}};
        return Payload(Bytes{static_cast<std::uint8_t>(mode)});
    }
    // Sent as the register file sends it: the mode's digit.
    case WifiKind::StationMode: return Payload(TextBytes(std::to_string(*FieldOf<std::int16_t>(record, n))));
    case WifiKind::Text:
    case WifiKind::TcpPort:
    case WifiKind::Password: return Payload(TextBytes(*FieldOf<std::string>(record, n)));
    case WifiKind::Address:
    case WifiKind::Functions: return Payload(QuadBytes(*FieldOf<WifiQuad>(record, n)));
    case WifiKind::Status: break;
    }
    return {RegisterPayload::Status::NotWritable, {}};
}
