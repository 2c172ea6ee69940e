#include "service/WifiRegisters.h"

#include "link/InstrumentModels.h"

#include <algorithm>

namespace {

using K = WifiKind;
using A = WifiAccess;
using S = WifiRegisterSet;

// In the order of their numbers, which is the order of the register list and of the register file.
const std::vector<WifiRegister> kRegisters{
    {0x00, "Reboot               ", A::Write, K::Reboot, {}},
    {0x03, "Serial speed         ", A::ReadWrite, K::Speed, &S::SerialSpeed},
    {0x04, "Firmware vesion      ", A::Read, K::Text, &S::FirmwareVersion},
    {0x09, "AP Authentication mode ", A::ReadWrite, K::ApMode, &S::ApAuthMode},
    {0x0F, "AP MAC address       ", A::Read, K::Text, &S::ApMac},
    {0x10, "AP SSID              ", A::ReadWrite, K::Text, &S::ApSsid},
    {0x11, "AP Password          ", A::ReadWrite, K::Password, &S::ApPassword},
    {0x12, "AP IP Address        ", A::ReadWrite, K::Address, &S::ApAddress, "1.2.3.4"},
    {0x13, "AP subnet mask       ", A::ReadWrite, K::Address, &S::ApSubnetMask, "255.255.255.0"},
    {0x17, "AP TCP port          ", A::ReadWrite, K::TcpPort, &S::TcpPort, "2000"},
    {0x1F, "Station MAC address  ", A::Read, K::Text, &S::StationMac},
    {0x20, "Module funtionality  ", A::ReadWrite, K::Functions, &S::ModuleFunctions},
    {0x21, "Station Authentication mode ", A::ReadWrite, K::StationMode, &S::StationAuthMode},
    {0x22, "Station SSID   ", A::ReadWrite, K::Text, &S::StationSsid},
    {0x23, "Station Password     ", A::ReadWrite, K::Password, &S::StationPassword},
    {0x24, "Station IP mode      ", A::ReadWrite, K::Text, &S::StationAddressMode},
    {0x25, "Station IP Address   ", A::ReadWrite, K::Address, &S::StationAddress},
    {0x26, "Station subnet mask  ", A::ReadWrite, K::Address, &S::StationSubnetMask},
    {0x27, "Station DNS server   ", A::ReadWrite, K::Address, &S::DnsServer},
    {0x28, "Station MQTT server  ", A::ReadWrite, K::Text, &S::MqttServer},
    {0x29, "Station MQTT port    ", A::ReadWrite, K::Text, &S::MqttPort},
    {0x2A, "Station MQTT topic    ", A::ReadWrite, K::Text, &S::MqttTopic},
    // Written from a register file; the record keeps nothing of it, so it is never read.
    {0x2B, nullptr, A::Write, K::Text, {}},
    {0x2C, "Station MQTT publish QOS       ", A::ReadWrite, K::Text, &S::PublishQos},
    {0x2D, "Station MQTT subscrive QOS     ", A::ReadWrite, K::Text, &S::SubscribeQos},
    {0x2E, "Station connect timeout (s)    ", A::ReadWrite, K::Text, &S::ConnectTimeout},
    {0x2F, "Station reconnect interval (s)  ", A::ReadWrite, K::Text, &S::ReconnectInterval},
    {0x33, nullptr, A::ReadWrite, K::Text, &S::Register33},
    {0x34, nullptr, A::ReadWrite, K::Text, &S::Register34},
    {0x40, "Status                ", A::Read, K::Status, &S::Status},
};

const char* AccessLetters(WifiAccess access)
{
    switch (access) {
    case A::Read: return "R";
    case A::Write: return "W";
    case A::ReadWrite: break;
    }
    return "R/W";
}

std::vector<const WifiRegister*> ListedRegisters()
{
    std::vector<const WifiRegister*> listed;
    for (const WifiRegister& reg : kRegisters)
        if (reg.Listed())
            listed.push_back(&reg);
    return listed;
}

constexpr std::uint8_t kBit0 = 0x01;
constexpr std::uint8_t kBit4 = 0x10;

}  // namespace

const std::vector<WifiRegister>& WifiRegisterTable()
{
    return kRegisters;
}

const WifiRegister* FindWifiRegister(int n)
{
    const auto found = std::find_if(kRegisters.begin(), kRegisters.end(), [n](const WifiRegister& reg) { return reg.number == n; });
    return found == kRegisters.end() ? nullptr : &*found;
}

bool IsWifiDevice(const InstrumentInfo& info)
{
    const DeviceModel* model = FindDeviceModel(info.Name);
    return model && model->wifi;
}

std::string RegisterEntry(const WifiRegister& reg)
{
    return "0x" + HexNumber2(reg.number) + " " + (reg.name ? reg.name : "") + AccessLetters(reg.access);
}

const std::vector<std::string>& WifiRegisterEntries()
{
    static const std::vector<std::string> entries = [] {
        std::vector<std::string> all{"All registers"};
        for (const WifiRegister* reg : ListedRegisters())
            all.push_back(RegisterEntry(*reg));
        return all;
    }();
    return entries;
}

const WifiRegister* RegisterOfEntry(int entryIndex)
{
    static const std::vector<const WifiRegister*> listed = ListedRegisters();
    if (entryIndex < 1 || entryIndex > static_cast<int>(listed.size()))
        return nullptr;
    return listed[static_cast<std::size_t>(entryIndex - 1)];
}

std::vector<int> RegisterFileOrder()
{
    std::vector<int> order;
    for (const WifiRegister& reg : kRegisters)
        if (reg.Readable())
            order.push_back(reg.number);
    return order;
}

RegisterFileClass FileClassOf(int n)
{
    const WifiRegister* reg = FindWifiRegister(n);
    if (!reg || !reg->Writable() || reg->kind == WifiKind::Reboot)
        return RegisterFileClass::NotWritten;
    return reg->HoldsFourNumbers() ? RegisterFileClass::FourNumbers : RegisterFileClass::Text;
}

std::string HexNumber(int n)
{
    static const char digits[] = "0123456789ABCDEF";
    if (n <= 0)
        return "0";
    std::string text;
    for (unsigned v = static_cast<unsigned>(n); v != 0; v >>= 4)
        text.insert(text.begin(), digits[v & 0x0F]);
    return text;
}

std::string HexNumber2(int n)
{
    std::string text = HexNumber(n);
    return text.size() < 2 ? "0" + text : text;
}

FunctionBoxes FunctionBoxesOf(const WifiQuad& functions)
{
    return {(functions[3] & kBit0) != 0, (functions[3] & kBit4) != 0, (functions[2] & kBit0) != 0,
            (functions[2] & kBit4) != 0};
}

WifiQuad FunctionsOfBoxes(const FunctionBoxes& boxes)
{
    return {0, 0, (boxes[3] ? kBit4 : 0) + (boxes[2] ? kBit0 : 0), (boxes[1] ? kBit4 : 0) + (boxes[0] ? kBit0 : 0)};
}
