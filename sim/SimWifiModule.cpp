#include "sim/SimWifiModule.h"

#include <algorithm>
#include <string>

namespace {

constexpr std::uint8_t kOk = '0';
constexpr std::uint8_t kNotOk = '1';
constexpr std::size_t kMaxText = 99;
constexpr int kLastMode = 5;

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

bool IsDigits(const Bytes& value)
{
    return !value.empty() && std::all_of(value.begin(), value.end(), [](std::uint8_t b) { return b >= '0' && b <= '9'; });
}

}  // namespace

SimWifiModule::SimWifiModule()
{
    registers_ = {
        {0x03, Text("1152")},
        {0x04, Text("WM 2.4.1")},
        {0x09, Text("3")},
        {0x0F, Text("70:B3:D5:1A:20:01")},
        {0x10, Text("VERTA_AP")},
        {0x11, Text("verta1234")},
        {0x12, {192, 168, 4, 1}},
        {0x13, {255, 255, 255, 0}},
        {0x17, Text("2000")},
        {0x1F, Text("70:B3:D5:1A:20:02")},
        {0x20, {0, 0, 0x11, 0x01}},
        {0x21, Text("3")},
        {0x22, Text("Officina 2")},
        {0x23, Text("")},
        {0x24, Text("DHCP")},
        {0x25, {192, 168, 1, 40}},
        {0x26, {255, 255, 255, 0}},
        {0x27, {192, 168, 1, 1}},
        {0x28, Text("mqtt.local")},
        {0x29, Text("1883")},
        {0x2A, Text("verta/710")},
        {0x2C, Text("1")},
        {0x2D, Text("0")},
        {0x2E, Text("30")},
        {0x2F, Text("10")},
        {0x33, Text("site-A")},
        {0x34, Text("")},
        {0x40, {0x00, 0x00, 0x13, 0x11}},
    };
}

SimWifiModule::Kind SimWifiModule::KindOf(int n)
{
    switch (n) {
    case 0x00: return Kind::WriteOnly;
    case 0x03: return Kind::Speed;
    case 0x04:
    case 0x0F:
    case 0x1F: return Kind::ReadOnly;
    case 0x09:
    case 0x21: return Kind::Digit;
    case 0x12:
    case 0x13:
    case 0x20:
    case 0x25:
    case 0x26:
    case 0x27: return Kind::Quad;
    case 0x40: return Kind::ReadOnlyQuad;
    case 0x10:
    case 0x11:
    case 0x17:
    case 0x22:
    case 0x23:
    case 0x24:
    case 0x28:
    case 0x29:
    case 0x2A:
    case 0x2C:
    case 0x2D:
    case 0x2E:
    case 0x2F:
    case 0x33:
    case 0x34: return Kind::Text;
    default: return Kind::Unknown;
    }
}

const Bytes* SimWifiModule::Register(int n) const
{
    const auto it = registers_.find(n);
    return it == registers_.end() ? nullptr : &it->second;
}

Bytes SimWifiModule::Refusal(int n, std::uint8_t status)
{
    if (n == 0x11 || n == 0x23)
        return {kOk, status};
    return {status};
}

Bytes SimWifiModule::Read(int n) const
{
    const Bytes* value = Register(n);
    if (!on_ || KindOf(n) == Kind::WriteOnly || !value)
        return Refusal(n, kNotOk);
    Bytes payload{kOk};
    payload.insert(payload.end(), value->begin(), value->end());
    return payload;
}

std::uint8_t SimWifiModule::Write(int n, const Bytes& values)
{
    if (!on_)
        return kNotOk;
    switch (KindOf(n)) {
    case Kind::WriteOnly:
        ++reboots_;
        return kOk;
    case Kind::ReadOnly:
    case Kind::ReadOnlyQuad:
        return kNotOk;
    case Kind::Speed:
        if (!IsDigits(values))
            return kNotOk;
        break;
    case Kind::Digit:
        // The mode comes as its digit, or as the number itself; it is kept as the digit.
        if (values.size() != 1)
            return kNotOk;
        if (values[0] <= kLastMode) {
            registers_[n] = {static_cast<std::uint8_t>('0' + values[0])};
            return kOk;
        }
        if (values[0] < '0' || values[0] > '0' + kLastMode)
            return kNotOk;
        break;
    case Kind::Quad:
        if (values.size() != 4)
            return kNotOk;
        break;
    case Kind::Text:
        if (values.size() > kMaxText)
            return kNotOk;
        break;
    case Kind::Unknown:
        break;
    }
    registers_[n] = values;
    return kOk;
}
