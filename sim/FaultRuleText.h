#pragma once

#include <optional>
#include <string>

#include "sim/SimInstrument.h"

// A fault rule from text, as the simulator program takes it:
//   KIND[,key=value]...
// KIND: silence nak nakstatus busy notok garbage noeot truncated overlong slow slowframe scripted
// keys: cmd=C      command byte: one character ("I", "r"), 0xNN, or a decimal number
//       page=P     flash page P (block reads and writes)
//       eeprom=A   EEPROM blocks at address A
//       target=A or target=A-B   request target range (decimal or 0x hex)
//       after=N    matching requests let through first
//       times=N    strikes, or "forever" (the default)
//       delay=S    seconds (slow, slowframe)
//       length=N   bytes (truncated, overlong)
//       bytes=HEX  bytes (garbage, scripted)
// Example: "nak,cmd=0xE5,after=2,times=1"
std::optional<SimFaultRule> ParseFaultRule(const std::string& text, std::string& error);
