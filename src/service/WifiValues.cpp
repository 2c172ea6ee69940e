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

bool IsTextValueRegister(int n)
{
    return n == 0x10 || n == 0x11 || n == 0x22 || n == 0x23 || n == 0x24 || (n >= 0x28 && n <= 0x2A) ||
           (n >= 0x2C && n <= 0x2F);
}

bool IsDottedRegister(int n)
{
    return n == 0x12 || n == 0x13 || n == 0x25 || n == 0x26 || n == 0x27;
}

using Outcome = RegisterValueCheck::Outcome;

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

RegisterValueCheck CheckRegisterValue(int n, const std::string& text, const std::array<bool, 4>& functionBoxes,
                                      WifiRegisterSet& record)
{
    RegisterValueCheck check;
    if (n == wifireg::kSerialSpeed) {
        const long long speed = NumberOf(text);
        if (speed < std::numeric_limits<std::int32_t>::min() || speed > std::numeric_limits<std::int32_t>::max())
            check.outcome = Outcome::Unencodable;
        else
            record.SerialSpeed = static_cast<std::int32_t>(speed);
    } else if (n == wifireg::kApAuthMode || n == wifireg::kStationAuthMode) {
        const long long mode = NumberOf(text);
        if (!StartsWithNumber(text) || mode < 0 || mode > 5)
            check.outcome = Outcome::Refused;
        else if (n == wifireg::kApAuthMode)
            record.ApAuthMode = static_cast<std::int16_t>(mode);
        else
            record.StationAuthMode = static_cast<std::int16_t>(mode);
    } else if (IsTextValueRegister(n)) {
        *record.TextField(n) = text;
    } else if (IsDottedRegister(n)) {
        if (!ParseDottedQuad(text, *record.QuadField(n)))
            check.outcome = Outcome::Refused;
    } else if (n == wifireg::kTcpPort) {
        if (CharacterCount(text) > kMaxTcpPortText) {
            check.logText = std::string("troppi caratteri:  max=5") + kCrLf;
            check.outcome = Outcome::Refused;
        } else if (!StartsWithNumber(text)) {
            check.outcome = Outcome::Refused;
        } else {
            record.TcpPort = std::to_string(NumberOf(text));
            check.boxText = record.TcpPort;
        }
    } else if (n == wifireg::kFunctions) {
        record.ModuleFunctions = FunctionsOfBoxes(functionBoxes);
    }
    return check;
}

RegisterPayload BuildRegisterPayload(int n, const WifiRegisterSet& record)
{
    switch (n) {
    case wifireg::kReboot:
        return {RegisterPayload::Status::Ready, {}};
    case wifireg::kSerialSpeed: {
        // The module takes the speed's first four digits (1152 for 115200).
        const std::string digits = std::to_string(record.SerialSpeed);
        if (record.SerialSpeed < 0 || digits.size() < kSpeedDigits)
            return {RegisterPayload::Status::Unencodable, {}};
        return Payload(Bytes(digits.begin(), digits.begin() + kSpeedDigits));
    }
    case wifireg::kApAuthMode:
        if (record.ApAuthMode < 0 || record.ApAuthMode > 255)
            return {RegisterPayload::Status::Unencodable, {}};
        return Payload(Bytes{static_cast<std::uint8_t>(record.ApAuthMode)});
    case wifireg::kStationAuthMode:
        // Sent as the register file sends it: the mode's digit.
        return Payload(TextBytes(std::to_string(record.StationAuthMode)));
    case wifireg::kTcpPort:
        return Payload(TextBytes(record.TcpPort));
    case wifireg::kFunctions:
        return Payload(QuadBytes(record.ModuleFunctions));
    default:
        break;
    }
    if (IsTextValueRegister(n))
        return Payload(TextBytes(*record.TextField(n)));
    if (IsDottedRegister(n))
        return Payload(QuadBytes(*record.QuadField(n)));
    return {RegisterPayload::Status::NotWritable, {}};
}
