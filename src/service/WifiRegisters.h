#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "link/Identification.h"

// Four numbers of an address, mask, function or status register, first group first (the order in
// which they are typed, sent and received).
using WifiQuad = std::array<int, 4>;

// The ticks of the four function boxes chkFunc 0..3.
using FunctionBoxes = std::array<bool, 4>;

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

};

// What a register holds, which decides how its answer is read, how a typed value is checked and
// which bytes carry it.
enum class WifiKind {
    Reboot,       // no value
    Speed,        // a decimal number; sent as its first four digits
    ApMode,       // one digit 0..5; answered as the digit, sent as the number
    StationMode,  // a number 0..5; answered and sent as its digits
    Text,
    TcpPort,      // a text of at most five characters, written as its number
    Password,     // a text; an answer without data is an empty password
    Address,      // four numbers typed as a dotted text
    Functions,    // four numbers whose bits are the function boxes
    Status,       // four numbers whose bits say the module's state
};

enum class WifiAccess { Read, Write, ReadWrite };

using WifiField = std::variant<std::monostate, std::int32_t WifiRegisterSet::*, std::int16_t WifiRegisterSet::*,
                               std::string WifiRegisterSet::*, WifiQuad WifiRegisterSet::*>;

// One register of the module.
struct WifiRegister {
    int number = 0;
    // As the register list shows it, padded to the access letters; nullptr when the list does not
    // offer the register (the register file still reads or writes it).
    const char* name = nullptr;
    WifiAccess access = WifiAccess::ReadWrite;
    WifiKind kind = WifiKind::Text;
    WifiField field;                     // nothing: the record keeps no value of it
    const char* shownDefault = nullptr;  // the default the tab's hint gives

    bool Listed() const { return name != nullptr; }
    bool Readable() const { return access != WifiAccess::Write; }
    bool Writable() const { return access != WifiAccess::Read; }
    bool HoldsFourNumbers() const
    {
        return kind == WifiKind::Address || kind == WifiKind::Functions || kind == WifiKind::Status;
    }
};

// Every register of the module the tool knows, by number.
const std::vector<WifiRegister>& WifiRegisterTable();
// Nothing for a number the table does not hold.
const WifiRegister* FindWifiRegister(int n);

// The record's field of register n when it is a T (a text, four numbers, a mode, the speed);
// nullptr otherwise.
template <typename T>
T* FieldOf(WifiRegisterSet& record, int n)
{
    const WifiRegister* reg = FindWifiRegister(n);
    const auto* member = reg ? std::get_if<T WifiRegisterSet::*>(&reg->field) : nullptr;
    return member ? &(record.**member) : nullptr;
}
template <typename T>
const T* FieldOf(const WifiRegisterSet& record, int n)
{
    return FieldOf<T>(const_cast<WifiRegisterSet&>(record), n);
}

// Models that carry the Wi-Fi module.
bool IsWifiDevice(const InstrumentInfo& info);

// "0x12 AP IP Address        R/W": the register's entry in the register list.
std::string RegisterEntry(const WifiRegister& reg);
// Entries of the register list, "All registers" first.
const std::vector<std::string>& WifiRegisterEntries();
// The register of a list entry; nullptr for "All registers" and for no entry.
const WifiRegister* RegisterOfEntry(int entryIndex);

// The registers a register file holds, in the order read-all reads them.
std::vector<int> RegisterFileOrder();
// How a line of a register file sends its register's value: as the characters of the value, as
// four numbers, or not at all.
enum class RegisterFileClass { NotWritten, Text, FourNumbers };
RegisterFileClass FileClassOf(int n);

// "3" for 0x03, "2A" for 0x2A: upper-case hexadecimal without leading zeros.
std::string HexNumber(int n);
// Always two digits: "03", "2A".
std::string HexNumber2(int n);

// Functions register: the ticks of chkFunc 0..3 and back.
//   chkFunc 3: third number bit 0x10, 2: third number bit 0x01, 1: fourth bit 0x10, 0: fourth bit 0x01.
FunctionBoxes FunctionBoxesOf(const WifiQuad& functions);
WifiQuad FunctionsOfBoxes(const FunctionBoxes& boxes);
