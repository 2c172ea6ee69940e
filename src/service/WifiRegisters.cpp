#include "service/WifiRegisters.h"

#include "link/InstrumentModels.h"

#include <algorithm>

namespace {

bool HexDigit(char c, int& value)
{
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else
        return false;
    return true;
}

constexpr std::uint8_t kBit0 = 0x01;
constexpr std::uint8_t kBit4 = 0x10;

}  // namespace

std::string* WifiRegisterSet::TextField(int n)
{
    switch (n) {
    case 0x04: return &FirmwareVersion;
    case 0x0F: return &ApMac;
    case 0x10: return &ApSsid;
    case 0x11: return &ApPassword;
    case 0x17: return &TcpPort;
    case 0x1F: return &StationMac;
    case 0x22: return &StationSsid;
    case 0x23: return &StationPassword;
    case 0x24: return &StationAddressMode;
    case 0x28: return &MqttServer;
    case 0x29: return &MqttPort;
    case 0x2A: return &MqttTopic;
    case 0x2C: return &PublishQos;
    case 0x2D: return &SubscribeQos;
    case 0x2E: return &ConnectTimeout;
    case 0x2F: return &ReconnectInterval;
    case 0x33: return &Register33;
    case 0x34: return &Register34;
    default: return nullptr;
    }
}

WifiQuad* WifiRegisterSet::QuadField(int n)
{
    switch (n) {
    case 0x12: return &ApAddress;
    case 0x13: return &ApSubnetMask;
    case 0x20: return &ModuleFunctions;
    case 0x25: return &StationAddress;
    case 0x26: return &StationSubnetMask;
    case 0x27: return &DnsServer;
    case 0x40: return &Status;
    default: return nullptr;
    }
}

bool IsWifiDevice(const InstrumentInfo& info)
{
    const DeviceModel* model = FindDeviceModel(info.Name);
    return model && model->wifi;
}

const std::vector<std::string>& WifiRegisterEntries()
{
    static const std::vector<std::string> entries{
        "All registers",
        "0x00 Reboot               W",
        "0x03 Serial speed         R/W",
        "0x04 Firmware vesion      R",
        "0x09 AP Authentication mode R/W",
        "0x0F AP MAC address       R",
        "0x10 AP SSID              R/W",
        "0x11 AP Password          R/W",
        "0x12 AP IP Address        R/W",
        "0x13 AP subnet mask       R/W",
        "0x17 AP TCP port          R/W",
        "0x1F Station MAC address  R",
        "0x20 Module funtionality  R/W",
        "0x21 Station Authentication mode R/W",
        "0x22 Station SSID   R/W",
        "0x23 Station Password     R/W",
        "0x24 Station IP mode      R/W",
        "0x25 Station IP Address   R/W",
        "0x26 Station subnet mask  R/W",
        "0x27 Station DNS server   R/W",
        "0x28 Station MQTT server  R/W",
        "0x29 Station MQTT port    R/W",
        "0x2A Station MQTT topic    R/W",
        "0x2C Station MQTT publish QOS       R/W",
        "0x2D Station MQTT subscrive QOS     R/W",
        "0x2E Station connect timeout (s)    R/W",
        "0x2F Station reconnect interval (s)  R/W",
        "0x40 Status                R",
    };
    return entries;
}

int RegisterNumberOfEntry(const std::string& entry)
{
    int high = 0;
    int low = 0;
    if (entry.size() < 4 || !HexDigit(entry[2], high) || !HexDigit(entry[3], low))
        return 0;
    return high * 16 + low;
}

const std::vector<int>& RegisterFileOrder()
{
    static const std::vector<int> order{0x03, 0x04, 0x09, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x17, 0x1F,
                                        0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29,
                                        0x2A, 0x2C, 0x2D, 0x2E, 0x2F, 0x33, 0x34, 0x40};
    return order;
}

bool IsFileTextRegister(int n)
{
    return n == 0x03 || n == 0x09 || n == 0x10 || n == 0x11 || n == 0x17 || (n >= 0x21 && n <= 0x24) ||
           (n >= 0x28 && n <= 0x2F) || n == 0x33 || n == 0x34;
}

bool IsFileQuadRegister(int n)
{
    return n == 0x12 || n == 0x13 || n == 0x20 || n == 0x25 || n == 0x26 || n == 0x27;
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

std::array<bool, 4> FunctionBoxesOf(const WifiQuad& functions)
{
    return {(functions[3] & kBit0) != 0, (functions[3] & kBit4) != 0, (functions[2] & kBit0) != 0,
            (functions[2] & kBit4) != 0};
}

WifiQuad FunctionsOfBoxes(const std::array<bool, 4>& boxes)
{
    return {0, 0, (boxes[3] ? kBit4 : 0) + (boxes[2] ? kBit0 : 0), (boxes[1] ? kBit4 : 0) + (boxes[0] ? kBit0 : 0)};
}
