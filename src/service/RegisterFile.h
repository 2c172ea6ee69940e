#pragma once

#include <string>
#include <vector>

#include "core/Bytes.h"
#include "core/Host.h"
#include "link/Identification.h"

// A register file holds lines ended by CR LF in the single-byte character set: a header, then one
// line per register, "12h 192.168.4.1".

// Values sent back from one line at most (one request of '0' n values).
constexpr std::size_t kMaxRegisterFileValues = 49;
// A register file larger than this is not one.
constexpr std::size_t kMaxRegisterFileSize = 1 << 20;

// "VRTA710_00001234_wifi.txt".
std::string RegisterFileName(const InstrumentInfo& info);
// "Wifi registers <Name>_<SerialNumber>,    Date:dd.mm.yy,  fw:<FwVersion>" and CR LF.
std::string RegisterFileHeader(const InstrumentInfo& info, const LocalDateTime& now);
// "<nn>h <value>" and CR LF, the number as two upper-case hexadecimal digits.
std::string RegisterFileLine(int n, const std::string& valueText);

// The lines of a file's content; a line ends at CR LF, LF or CR, and the last one may have no end.
// Lines are raw bytes: each byte one character.
std::vector<std::string> RegisterFileLines(const Bytes& content);

// What one line of a loaded file asks for.
struct RegisterFileEntry {
    enum class Kind { Skip, Write, Unencodable };
    Kind kind = Kind::Skip;
    int n = 0;
    std::vector<int> values;
    std::string why;  // of an Unencodable line: "group 2 "25x" is not a number from 0 to 255"
};
// A line whose first "h" is its third character names the register in its first two characters
// (hexadecimal; otherwise 0). Text registers send the characters from the fifth on; four-number
// registers send four numbers from a dotted text (a group without a dot repeats for every
// position left; a text ending in a dot leaves the rest 0). Any other register: skipped. More than
// 49 values, a number above 255 or a group with a character that is not a digit (a blank too):
// Unencodable, with the reason.
RegisterFileEntry ParseRegisterFileLine(const std::string& rawLine);
