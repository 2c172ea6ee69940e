#pragma once

#include <string>

#include "core/Bytes.h"
#include "link/RxState.h"

// Classifies the status byte at `index` of an answer: "OK" 0, "NAK" 5, "NO OK !!" 8, "Busy ..." 9,
// "No Valid block" 0, anything else (or fewer than index + 3 bytes) "Error (Rx: <hex>)" 7.
int DecodeAnswer(int index, const Bytes& buffer, int count, std::string& message);

// True when the answer is one whole, well-formed frame: ACK at index 0, SOH or STX at index 1, as
// many bytes as its LEN announces (LEN + 2), LF before the final EOT, and a checksum that adds up
// (the bytes from the start byte through LF sum to 0 modulo 256). Only such an answer is used.
bool IsWellFormedAnswer(const RxState& rx);
// The same, and the frame is the kind the answer must come in (SOH: short, STX: long), so every
// fixed index of its layout holds what it should.
bool IsWellFormedAnswer(const RxState& rx, std::uint8_t startByte);

// "Error (Rx: <hex of every byte received>)".
std::string MalformedAnswerText(const RxState& rx);

// The answer's text: the payload without its status byte, or with `numeric` the decimal text of
// the status byte. Empty text and code 3 without a complete frame.
std::string GetAnswerText(const RxState& rx, bool numeric, int& code);
