#pragma once

#include <array>
#include <optional>
#include <string>

#include "core/Bytes.h"
#include "service/WifiRegisters.h"

// Longest value text a single register write carries.
constexpr std::size_t kMaxRegisterText = 99;
// Longest TCP port text.
constexpr std::size_t kMaxTcpPortText = 5;

// A dotted text such as 192.168.1.10 into the four numbers of `field`, first group first. False for
// a group of four or more characters before a dot, a text ending with a dot, or a group holding
// anything but digits. An empty group reads 0; groups the text does not reach keep their value.
bool ParseDottedQuad(const std::string& text, WifiQuad& field);

// The value typed for a single write, checked and stored in the record by register.
struct RegisterValueCheck {
    enum class Outcome { Accepted, Refused, Unencodable };
    Outcome outcome = Outcome::Accepted;
    std::string logText;                   // written before "nessuna scrittura ai registri"
    std::optional<std::string> boxText;    // the value box rewritten
};
RegisterValueCheck CheckRegisterValue(int n, const std::string& text, const FunctionBoxes& functionBoxes,
                                      WifiRegisterSet& record);

// The value bytes a single write of register n sends after '0' and n, from the record.
struct RegisterPayload {
    enum class Status { Ready, NotWritable, Unencodable };
    Status status = Status::Ready;
    Bytes bytes;
};
RegisterPayload BuildRegisterPayload(int n, const WifiRegisterSet& record);

// A text without blanks.
std::string WithoutBlanks(const std::string& text);
