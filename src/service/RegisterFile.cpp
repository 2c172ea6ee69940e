#include "service/RegisterFile.h"

#include <algorithm>
#include <cctype>

#include "service/WifiRegisters.h"

namespace {

constexpr std::size_t kValueStart = 4;  // the fifth character
constexpr std::size_t kHPosition = 2;   // the third character
constexpr int kQuadValues = 4;
constexpr int kMaxByte = 255;

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Digits only, empty reads 0; nothing for anything else or more than a byte holds.
bool ByteNumber(const std::string& text, int& value)
{
    long number = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        number = number * 10 + (c - '0');
        if (number > kMaxByte)
            return false;
    }
    value = static_cast<int>(number);
    return true;
}

RegisterFileEntry Unencodable(int n, std::string why)
{
    return {RegisterFileEntry::Kind::Unencodable, n, {}, std::move(why)};
}

RegisterFileEntry BadGroup(int n, int position, const std::string& group)
{
    return Unencodable(n, "group " + std::to_string(position + 1) + " \"" + group + "\" is not a number from 0 to 255");
}

RegisterFileEntry QuadEntry(int n, const std::string& line)
{
    RegisterFileEntry entry{RegisterFileEntry::Kind::Write, n, std::vector<int>(kQuadValues, 0), {}};
    if (line.size() <= kValueStart)
        return entry;
    std::string rest = line.substr(kValueStart);
    for (int position = 0; position < kQuadValues; ++position) {
        const std::size_t dot = rest.find('.');
        if (dot == std::string::npos) {
            if (!ByteNumber(rest, entry.values[static_cast<std::size_t>(position)]))
                return BadGroup(n, position, rest);
            continue;  // the same text fills every position left
        }
        const std::string group = rest.substr(0, dot);
        if (!ByteNumber(group, entry.values[static_cast<std::size_t>(position)]))
            return BadGroup(n, position, group);
        if (dot + 1 >= rest.size())
            break;
        rest = rest.substr(dot + 1);
    }
    return entry;
}

}  // namespace

std::string RegisterFileName(const InstrumentInfo& info)
{
    return info.Name + "_" + info.SerialNumber + "_wifi.txt";
}

std::string RegisterFileHeader(const InstrumentInfo& info, const LocalDateTime& now)
{
    return "Wifi registers " + info.Name + "_" + info.SerialNumber + ",    Date:" + ZeroPadded(now.day, 2) + "." +
           ZeroPadded(now.month, 2) + "." + ZeroPadded(now.year % 100, 2) + ",  fw:" + info.FwVersion + kCrLf;
}

std::string RegisterFileLine(int n, const std::string& valueText)
{
    return HexNumber2(n) + "h " + valueText + kCrLf;
}

std::vector<std::string> RegisterFileLines(const Bytes& content)
{
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = static_cast<char>(content[i]);
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
                ++i;
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

RegisterFileEntry ParseRegisterFileLine(const std::string& line)
{
    if (line.find('h') != kHPosition)
        return {};
    const int high = HexValue(line[0]);
    const int low = HexValue(line[1]);
    const int n = high < 0 || low < 0 ? 0 : high * 16 + low;
    const RegisterFileClass fileClass = FileClassOf(n);
    if (fileClass == RegisterFileClass::Text) {
        const std::string value = line.size() > kValueStart ? line.substr(kValueStart) : std::string();
        if (value.size() > kMaxRegisterFileValues)
            return Unencodable(n, std::to_string(value.size()) + " characters, at most " +
                                      std::to_string(kMaxRegisterFileValues) + " can be sent");
        RegisterFileEntry entry{RegisterFileEntry::Kind::Write, n, {}, {}};
        for (const char c : value)
            entry.values.push_back(static_cast<unsigned char>(c));
        return entry;
    }
    if (fileClass == RegisterFileClass::FourNumbers)
        return QuadEntry(n, line);
    return {};
}
