#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "link/Identification.h"

// Four numbers of an address, mask, function or status register, first group first (the order in
// which they are typed, sent and received).
using WifiQuad = std::array<int, 4>;

// One value per register of the Wi-Fi module, plus the texts of the last exchange. Lives for one
// operation.
struct WifiRegisterSet {
    std::int32_t SerialSpeed = 0;        // 0x03
    std::string FirmwareVersion;         // 0x04
    std::int16_t ApAuthMode = 0;         // 0x09
    std::string ApMac;                   // 0x0F
    std::string ApSsid;                  // 0x10
    std::string ApPassword;              // 0x11
    WifiQuad ApAddress{};                // 0x12
    WifiQuad ApSubnetMask{};             // 0x13
    std::string TcpPort;                 // 0x17
    WifiQuad ModuleFunctions{};          // 0x20
    std::int16_t StationAuthMode = 0;    // 0x21
    std::string StationMac;              // 0x1F
    std::string StationSsid;             // 0x22
    std::string StationPassword;         // 0x23
    std::string StationAddressMode;      // 0x24
    WifiQuad StationAddress{};           // 0x25
    WifiQuad StationSubnetMask{};        // 0x26
    WifiQuad DnsServer{};                // 0x27
    std::string MqttServer;              // 0x28
    std::string MqttPort;                // 0x29
    std::string MqttTopic;               // 0x2A
    std::string PublishQos;              // 0x2C
    std::string SubscribeQos;            // 0x2D
    std::string ConnectTimeout;          // 0x2E
    std::string Register33;              // 0x33
    std::string Register34;              // 0x34
    std::string ReconnectInterval;       // 0x2F
    WifiQuad Status{};                   // 0x40

    std::string RxHex;      // hex dump of the bytes received for the last command
    std::string ReplyText;  // status message or description of the last exchange
    std::string ValueText;  // value text of a read, or the failure text of the exchange

    // The text field of a text register, the four numbers of a four-number register; nullptr for
    // any other register.
    std::string* TextField(int n);
    WifiQuad* QuadField(int n);
    const std::string* TextField(int n) const { return const_cast<WifiRegisterSet*>(this)->TextField(n); }
    const WifiQuad* QuadField(int n) const { return const_cast<WifiRegisterSet*>(this)->QuadField(n); }
};

// Register numbers with a meaning of their own.
namespace wifireg {
constexpr int kReboot = 0x00;
constexpr int kSerialSpeed = 0x03;
constexpr int kFirmware = 0x04;
constexpr int kApAuthMode = 0x09;
constexpr int kApMac = 0x0F;
constexpr int kApSsid = 0x10;
constexpr int kApPassword = 0x11;
constexpr int kApAddress = 0x12;
constexpr int kApSubnetMask = 0x13;
constexpr int kTcpPort = 0x17;
constexpr int kStationMac = 0x1F;
constexpr int kFunctions = 0x20;
constexpr int kStationAuthMode = 0x21;
constexpr int kStationPassword = 0x23;
constexpr int kStatus = 0x40;
}  // namespace wifireg

// Models that carry the Wi-Fi module.
bool IsWifiDevice(const InstrumentInfo& info);

// Entries of the register list, "All registers" first.
const std::vector<std::string>& WifiRegisterEntries();
// The register number of a list entry: the hexadecimal value of its characters 3 and 4.
int RegisterNumberOfEntry(const std::string& entry);

// The registers a register file holds, in the order read-all reads them.
const std::vector<int>& RegisterFileOrder();
// Register-file classes: sent back as the characters of the value, or as four numbers.
bool IsFileTextRegister(int n);
bool IsFileQuadRegister(int n);

// "3" for 0x03, "2A" for 0x2A: upper-case hexadecimal without leading zeros.
std::string HexNumber(int n);
// Always two digits: "03", "2A".
std::string HexNumber2(int n);

// Functions register: the ticks of chkFunc 0..3 and back.
//   chkFunc 3: third number bit 0x10, 2: third number bit 0x01, 1: fourth bit 0x10, 0: fourth bit 0x01.
std::array<bool, 4> FunctionBoxesOf(const WifiQuad& functions);
WifiQuad FunctionsOfBoxes(const std::array<bool, 4>& boxes);
