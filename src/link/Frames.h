#pragma once

#include <cstdint>

#include "core/Bytes.h"

namespace ctl {
constexpr std::uint8_t SOH = 0x01;
constexpr std::uint8_t STX = 0x02;
constexpr std::uint8_t EOT = 0x04;
constexpr std::uint8_t ACK = 0x06;
constexpr std::uint8_t LF = 0x0A;
constexpr std::uint8_t NAK = 0x15;
}  // namespace ctl

// A short frame carries at most this many payload bytes (LEN = N + 4 must fit one byte).
constexpr std::size_t kMaxShortPayload = 251;
// A long frame's LEN is N + 5 in two bytes.
constexpr std::size_t kMaxLongPayload = 0xFFFF - 5;

// Checksum over the frame from its first byte through the last payload byte, 0x0A added:
// the bytes from SOH/STX through LF then sum to 0 modulo 256.
std::uint8_t FrameChecksum(const Bytes& bytes);

// SOH, LEN, payload, CKS, LF, EOT.
Bytes BuildShortFrame(const Bytes& payload);
// STX, LEN high, LEN low, payload, CKS, LF, EOT.
Bytes BuildLongFrame(const Bytes& payload);
// Short frame when it fits, long frame otherwise.
Bytes BuildFrame(const Bytes& payload);
