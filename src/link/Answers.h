#pragma once

#include <string>

#include "core/Bytes.h"
#include "link/RxState.h"

// Classifies the status byte at `index` of an answer: "OK" 0, "NAK" 5, "NO OK !!" 8, "Busy ..." 9,
// "No Valid block" 0, anything else (or fewer than index + 3 bytes) "Error (Rx: <hex>)" 7.
int DecodeAnswer(int index, const Bytes& buffer, int count, std::string& message);

// The answer's text: the payload without its status byte, or with `numeric` the decimal text of
// the status byte. Empty text and code 3 without a complete frame.
std::string GetAnswerText(const RxState& rx, bool numeric, int& code);
