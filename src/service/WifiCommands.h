#pragma once

#include "link/RxState.h"
#include "link/SerialLink.h"
#include "service/WifiRegisters.h"

// '1' n: reads register n into the record (its field, ValueText, ReplyText, RxHex).
int WifiReadRegister(SerialLink& link, int n, WifiRegisterSet& record);
// '0' n value bytes: writes register n from the record; 21 without sending for a register that
// carries no value bytes, or a value that cannot be encoded.
int WifiWriteRegister(SerialLink& link, int n, WifiRegisterSet& record);

// How a register read's answer is judged, from what was received: no complete frame " NO EOT" 3;
// a frame that is not whole and well formed "Error (Rx: ...)" 7; then the count rules of the
// register (passwords have their own) and the decoding.
int JudgeWifiReadAnswer(const RxState& rx, int n, WifiRegisterSet& record);
