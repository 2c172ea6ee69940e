#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/BootContext.h"
#include "link/SerialLink.h"

// Bootloader protocol values.
namespace boot {
constexpr std::uint8_t kSync = 0x7F;
constexpr std::uint8_t kAck = 0x79;
constexpr std::uint8_t kNack = 0x1F;
constexpr std::uint8_t kGo = 0x21;
constexpr std::uint8_t kWriteMemory = 0x31;
constexpr std::uint8_t kExtendedErase = 0x44;
constexpr std::uint8_t kPassCommand = 0xD1;  // bootloader bytes through the running CPU board
constexpr std::uint8_t kPassPage = 0xD2;     // a page of data through it
constexpr std::uint8_t kPassReset = 0xD3;    // software reset of the board behind it
constexpr std::uint32_t kFlashStart = 0x08000000;
}  // namespace boot

// What BuildBootFrame makes. Tunnel kinds travel inside an instrument frame.
namespace frame_kind {
constexpr std::int16_t kSync = 0;
constexpr std::int16_t kGo = 4;
constexpr std::int16_t kAddress = 5;
constexpr std::int16_t kErase = 8;
constexpr std::int16_t kEraseCode = 9;
constexpr std::int16_t kWrite = 10;
constexpr std::int16_t kTunnelSync = 20;
constexpr std::int16_t kTunnelErase = 21;
constexpr std::int16_t kTunnelEraseCode = 22;
constexpr std::int16_t kTunnelWrite = 23;
constexpr std::int16_t kTunnelAddress = 28;
constexpr std::int16_t kTunnelReset = 34;
}  // namespace frame_kind

// How a reply is judged once the first wait has ended.
enum class BootVerdict {
    Success,          // the acknowledge is among the first bytes
    Failure,          // ends now; NACK text when a tested byte was 0x1F
    SecondWait,       // wait on; the exchange has failed
    SecondWaitGood,   // wait on; the exchange has succeeded (reset frame answered 79)
};
struct BootJudgement {
    BootVerdict verdict = BootVerdict::SecondWait;
    bool nack = false;
};
// `n` bytes of `reply` were in when the first wait ended.
BootJudgement JudgeBootReply(bool ackCheck, bool tunnel, int ackCount, std::uint8_t ackByte,
                             const std::uint8_t* reply, int n);

// Every character code as two upper-case hexadecimal digits, nothing between.
std::string StringToHex(const std::string& text);

constexpr const char* kNackText = "Recived NACK from device";

// The client of the STM32 system bootloader, on the direct route (even parity, bytes as they are)
// and through the running CPU board (pass-through commands in instrument frames). One frame is one
// attempt; the outcome is the link's BootError, with the NACK text in ErrText.
class BootClient {
public:
    explicit BootClient(SerialLink& link);

    BootContext& Context() { return link_.Boot; }
    const BootContext& Context() const { return link_.Boot; }
    SerialLink& Link() { return link_; }

    // Direct route port: "<baud>,E,8,1" on the chosen port number (not opened yet).
    void SetupBootPort(const std::string& baudText);
    // False (after the port's message box) when the port cannot be opened.
    bool OpenBootPort();
    void CloseBootPort();
    void DelayMs(int ms);

    void BuildBootFrame();
    std::uint8_t BootCheckByte(int n) const;
    void BootExchange();
    void BootWaitReply();
    // Sets the frame's fields, builds and exchanges it; true when acknowledged.
    bool Exchange(std::int16_t kind, float replyWaitS, std::uint8_t cmd = 0,
                  const std::array<std::uint8_t, 4>& arg = {});

    // Step routines; each appends its log text.
    bool BootSync();
    bool BootMassErase();
    bool BootGo();
    bool TunnelSync();
    bool TunnelMassErase();
    bool TunnelReset();

    // The first three reply bytes as six hexadecimal digits.
    std::string ReplyHex3() const;
    // True once the program is ending: every step fails at once.
    bool Quitting() const { return link_.host().Quitting(); }

private:
    void Log(const std::string& text);
    void WrapInInstrumentFrame(const Bytes& bootBytes);

    SerialLink& link_;
};
