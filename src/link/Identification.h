#pragma once

#include <string>

#include "core/Bytes.h"

// Who the connected instrument is.
struct InstrumentInfo {
    std::string Name;          // device name, surrounding blanks removed
    std::string SerialNumber;  // 8 characters as received
    std::string FwVersion;     // 4 or 5 characters
    std::string FwDetail;      // 4 or 7 characters
    std::string Message;       // why the identification failed; empty otherwise
};

// Fills the record from an identification answer of `count` bytes (ACK at index 0, payload from 3).
int ParseInfoAnswer(const Bytes& buffer, int count, InstrumentInfo& info);
