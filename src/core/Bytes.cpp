#include "core/Bytes.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

std::string BytesToHex(const std::uint8_t* buffer, std::size_t count)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(digits[buffer[i] >> 4]);
        out.push_back(digits[buffer[i] & 0x0F]);
    }
    return out;
}

std::string BytesToHex(const Bytes& buffer, std::size_t count)
{
    return BytesToHex(buffer.data(), std::min(count, buffer.size()));
}

std::string BytesToHex(const Bytes& buffer)
{
    return BytesToHex(buffer.data(), buffer.size());
}

static void AppendLatin1AsUtf8(std::string& out, std::uint8_t byte)
{
    if (byte < 0x80) {
        out.push_back(static_cast<char>(byte));
    } else {
        out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
        out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
}

std::string BytesToText(const Bytes& buffer, std::size_t start, std::size_t length)
{
    std::string out;
    for (std::size_t i = start; i < buffer.size() && i - start < length; ++i)
        AppendLatin1AsUtf8(out, buffer[i]);
    return out;
}

void CopyBytes(Bytes& destination, const Bytes& source, std::size_t n)
{
    n = std::min({n, destination.size(), source.size()});
    for (std::size_t i = 0; i < n; ++i)
        destination[i] = source[i];
}

std::optional<Bytes> TextToLatin1(const std::string& utf8)
{
    Bytes out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
        } else if ((lead & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            const auto next = static_cast<std::uint8_t>(utf8[i + 1]);
            const unsigned code = ((lead & 0x1Fu) << 6) | (next & 0x3Fu);
            if ((next & 0xC0) != 0x80 || code > 0xFF)
                return std::nullopt;
            out.push_back(static_cast<std::uint8_t>(code));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::optional<double> LeadingNumberOf(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        number.push_back(text[i++]);
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            number.push_back(c);
            digits = true;
        } else if (c == '.' && !point) {
            number.push_back(c);
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return std::nullopt;
    const double value = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(value))
        return std::nullopt;
    return value + 0.0;  // "-0" is 0
}

double LeadingNumber(const std::string& text)
{
    return LeadingNumberOf(text).value_or(0.0);
}

long long RoundHalfEven(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double clamped = std::clamp(value, -9.0e18, 9.0e18);
    return static_cast<long long>(std::nearbyint(clamped));
}

std::string ZeroPadded(long long value, int width)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

std::string ToUpperAscii(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

namespace {

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong forms, no surrogates,
// nothing past U+10FFFF.
bool IsUtf8(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
                return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

std::string Utf8OrLatin1(const std::string& text)
{
    if (IsUtf8(text))
        return text;
    return BytesToText(Bytes(text.begin(), text.end()), 0, text.size());
}

std::string ToUpperLatin1(std::string utf8)
{
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte >= 'a' && byte <= 'z') {
            utf8[i] = static_cast<char>(byte - 0x20);
        } else if (byte == 0xC3 && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            if ((next & 0xC0) != 0x80)
                continue;
            // U+00E0..U+00FE except U+00F7 (division sign) map to U+00C0..U+00DE.
            if (next >= 0xA0 && next <= 0xBE && next != 0xB7)
                utf8[i + 1] = static_cast<char>(next - 0x20);
            ++i;
        }
    }
    return utf8;
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}
