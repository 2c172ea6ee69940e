#pragma once

#include <cstdint>
#include <string>

#include "core/Bytes.h"
#include "link/Identification.h"
#include "link/SerialLink.h"

constexpr int kEepromBlockSize = 100;
constexpr std::size_t kMaxEepromWrite = 146;
constexpr int kFlashBlockSize = 1024;
constexpr int kFlashBlocksPerPage = 4;
constexpr std::size_t kFlashDataArea = 8001;
constexpr std::size_t kMaxWifiValues = 49;
constexpr double kWifiModuleSwitchWaitS = 6.0;

// Request record of the flash block commands.
struct FlashPageRecord {
    int FirstPage = 0;
    int LastPage = 0;
    std::string Text;
    std::string Message;
    Bytes Data = Bytes(kFlashDataArea, 0);
    std::int32_t Count = 0;  // bytes read; for writes, the page size
};

// 'I': identification. Fills `info`.
int ReadInstrumentInfo(SerialLink& link, InstrumentInfo& info);
// 'r': commits the parameters written.
int CommitParams(SerialLink& link, std::string& message);
// 'e' 'd' 0 addrH addrL 0: 100 bytes of EEPROM at `address`.
int ReadEepromBlock(SerialLink& link, int address, Bytes& data, std::string& message);
// 'e' 0 1 addrH addrL data...: at most 146 bytes.
int WriteEepromBlock(SerialLink& link, int address, const Bytes& data, std::string& message);
// E5 a23..16 a15..8 0 4 0 per block: appends each 1024-byte block of the page range to the record.
int ReadFlashPages(SerialLink& link, FlashPageRecord& record);
// E6 a23..16 a15..8 a7..0 4 0 data[1024] per block, from the record's data area.
int WriteFlashPages(SerialLink& link, FlashPageRecord& record);
// '0' register values...
int WifiWriteValues(SerialLink& link, int registerNumber, const std::vector<int>& values, std::string& message);
// '2' sub-command: module off (0) / on (1).
int WifiCommand(SerialLink& link, int subCommand, std::string& message);

// "Serial error" when nothing came back, else "Rx: " and the bytes received.
std::string NoAnswerText(const SerialLink& link);

// What came back in the exchange that ended with `code`, from the bytes the link received, for a
// failure the tab shows no text of its own for ("the instrument answered NAK", "no complete
// answer (Rx: 0615)").
std::string AnswerStatement(const SerialLink& link, int code);
