#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/Bytes.h"
#include "core/OperationSink.h"
#include "link/SerialLink.h"

// Bootloader protocol values.
namespace boot {
constexpr std::uint8_t kSync = 0x7F;
constexpr std::uint8_t kAck = 0x79;
constexpr std::uint8_t kNack = 0x1F;
constexpr std::uint8_t kReadMemory = 0x11;
constexpr std::uint8_t kGo = 0x21;
constexpr std::uint8_t kWriteMemory = 0x31;
constexpr std::uint8_t kExtendedErase = 0x44;
constexpr std::uint8_t kPassCommand = 0xD1;  // bootloader bytes through the running CPU board
constexpr std::uint8_t kPassPage = 0xD2;     // a page of data through it
constexpr std::uint8_t kPassReset = 0xD3;    // software reset of the board behind it
constexpr std::uint32_t kFlashStart = 0x08000000;
constexpr std::size_t kMaxWriteBytes = 256;  // one Write Memory block
constexpr std::size_t kMaxReadBytes = 256;   // one Read Memory answer
}  // namespace boot

// Every character code as two upper-case hexadecimal digits, nothing between.
std::string StringToHex(const std::string& text);

constexpr const char* kNackText = "Recived NACK from device";

// The two ways to a board's bootloader: straight on the serial line (even parity, the bytes as they
// are), or through the running CPU board, each frame inside an instrument frame (no parity).
enum class BootRoute { Direct, Tunnel };

// How a bootloader command ended.
enum class BootError {
    None,
    Nack,           // a byte judged was the NACK 0x1F
    NoAcknowledge,  // silence, or the acknowledge not where it belongs among the first bytes
    NotSent,        // nothing went out: the port refused the bytes, the program is ending, or the
                    // command does not exist on this route or cannot carry the data given
};

// The client of the STM32 system bootloader on one route. Each command sends its frames in order,
// one attempt each, stops at the first one not acknowledged and appends its log text to the sink;
// the exchange under way (frame, waits, judgement) and the link's bootloader mode are its own.
class BootClient {
public:
    BootClient(SerialLink& link, OperationSink& log, BootRoute route);

    // Direct route port: "<baud>,E,8,1" on the chosen port number, bootloader mode on.
    void SetupBootPort(const std::string& baudText);
    // Opens the prepared port; on failure shows the port's message box and says why.
    PortOpenResult OpenBootPort();
    void CloseBootPort();
    void DelayMs(int ms);

    // 0x7F: the bootloader detects the line's speed.
    BootError Sync();
    // Extended Erase with the mass-erase code: the whole flash.
    BootError Erase();
    // Write Memory of 1..256 bytes at `address`: the command, the address, the data block.
    BootError Write(std::uint32_t address, std::span<const std::uint8_t> data);
    // Go to `address` (direct route).
    BootError Go(std::uint32_t address);
    // Software reset of the board behind the CPU board (tunnel route). Its log says OK whatever
    // came back; the error says what did.
    BootError Reset();
    // Read Memory of 1..256 bytes at `address` (direct route): the command, the address, the count;
    // `into` holds the bytes read, empty unless it succeeded. Logs nothing: the caller reports.
    BootError Read(std::uint32_t address, std::size_t count, Bytes& into);

private:
    // The frame under way and how its reply is judged.
    struct BootContext {
        std::int16_t FrameKind = 0;
        std::uint8_t Cmd = 0;
        std::array<std::uint8_t, 4> Arg{};  // an address, most significant byte first; or the erase code
        Bytes TxBytes;
        bool AckCheck = false;
        std::int16_t AckCount = 0;
        std::uint8_t AckByte = 0x79;
        float AckWait = 0.0F;    // seconds, first wait of the judgement
        float ReplyWait = 0.0F;  // seconds, second wait
    };

    bool Tunnel() const { return route_ == BootRoute::Tunnel; }
    void Log(const std::string& text) { log_.Log(text); }
    BootError Exchange(std::int16_t kind, float replyWaitS, std::uint8_t cmd = 0,
                       const std::array<std::uint8_t, 4>& arg = {});
    void BuildBootFrame();
    std::uint8_t BootCheckByte(const Bytes& bytes) const;
    BootError BootExchange();
    BootError SendDataBlock(std::span<const std::uint8_t> data);
    BootError ReceiveData(std::size_t count, Bytes& into);
    BootError BootWaitReply();
    void ClearReply();
    // The first three reply bytes as six hexadecimal digits.
    std::string ReplyHex3() const;
    void LogStepOutcome(BootError error);

    SerialLink& link_;
    OperationSink& log_;
    BootRoute route_;
    BootContext context_;
    int baud_ = 0;  // of the direct route's port
};
