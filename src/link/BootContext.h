#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/Bytes.h"

constexpr int kBootRxLastIndex = 3000;

// Where the bootloader steps write their log: the Upload tab's log box, or a terminal.
class LogBox {
public:
    virtual ~LogBox() = default;
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
    void Append(const std::string& text) { SetText(Text() + text); }
};

// The bootloader exchange: the frame to send, how its reply is judged, and the reply area that the
// link's receive handler fills while bootloader mode is on.
struct BootContext {
    std::uint8_t Cmd = 0;
    std::int16_t FrameKind = 0;
    float ReplyWait = 0.0F;  // seconds, second wait of the judgement
    std::string ErrText;
    bool AckCheck = false;
    std::int16_t AckCount = 0;
    Bytes TxBytes;
    float AckWait = 0.0F;  // seconds, first wait of the judgement
    std::uint8_t AckByte = 0x79;
    std::array<std::uint8_t, 4> Arg{};
    int BootRxCount = 0;
    ::LogBox* LogBox = nullptr;
    std::int16_t PageCount = 0;
    std::array<std::uint8_t, kBootRxLastIndex + 1> BootRxBuffer{};
    std::int32_t TimeOutFlag = 0;
    bool Tunnel = false;
};
