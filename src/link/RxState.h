#pragma once

#include <cstdint>

#include "core/Bytes.h"

// Last index of the receive buffer after the port is opened, and during an exchange.
constexpr int kRxLastIndexIdle = 300;
constexpr int kRxLastIndexExchange = 5000;

// Receive state of the instrument protocol: every byte since the request, and how far the
// answer recogniser has got.
struct RxState {
    Bytes RxBuffer = Bytes(kRxLastIndexIdle + 1, 0);
    int RxCount = 0;
    std::uint8_t RxAck = 0;
    int RxExpected = 0;  // 0 before a frame, 1 start byte seen, 2 first long LEN byte seen, else end count
    bool RxLongFrame = false;
    bool RxFrameDone = false;

    // Cleared and sized for an exchange.
    void ResetForExchange();
    // Stores one byte and advances the recogniser. False when the byte does not fit (not stored).
    bool Accept(std::uint8_t byte);
};
