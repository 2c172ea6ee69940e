#pragma once

#include <string>

#include "core/Bytes.h"
#include "service/WifiRegisters.h"

// Turns the answer to a register read (ACK, SOH, LEN, one byte, the data from index 4, CKS, LF,
// EOT; `count` bytes) into the register's field, ValueText and ReplyText. 0 when decoded; 7 for a
// register it does not know or data that is not what the register holds; the code of the status
// byte at index 4 when the answer carries too little or too much for the register.
int DecodeWifiAnswer(const Bytes& buffer, int count, int n, WifiRegisterSet& record);

// Names of the authentication modes 0..5; empty for any other number.
std::string AuthenticationModeName(int mode);
