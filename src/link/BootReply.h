#pragma once

#include <array>
#include <cstdint>

constexpr int kBootRxLastIndex = 3000;

// Where the receive handler keeps a bootloader's reply while `BootMode` is on. The bootloader
// client empties it before each frame and judges what it holds.
struct BootReplyArea {
    int BootRxCount = 0;
    std::array<std::uint8_t, kBootRxLastIndex + 1> BootRxBuffer{};  // reply bytes in order of reception
    bool Tunnel = false;  // the reply comes through the instrument: the bootloader's first byte is at index 1
};
