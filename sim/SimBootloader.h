#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Bytes.h"
#include "sim/SimDevice.h"

// STM32F40x system memory layout as the bootloader serves it.
constexpr std::uint32_t kSimBootFlashStart = 0x08000000;
constexpr std::uint32_t kSimBootFlashSize = 1024 * 1024;
constexpr std::uint32_t kSimBootRamStart = 0x20000000;
constexpr std::uint32_t kSimBootRamSize = 128 * 1024;
constexpr int kSimBootSectors = 12;
constexpr std::uint16_t kSimBootProductId = 0x0413;
constexpr std::uint8_t kSimBootVersion = 0x31;

// How long the part is busy before it acknowledges.
struct SimBootTimes {
    double massEraseS = 0.5;
    double sectorEraseS = 0.02;  // each sector of an erase list
    double programS = 0.001;     // one Write Memory block into flash
};

enum class SimBootStep {
    Command,  // after the command byte and its complement
    Address,  // after an address and its check byte
    Data,     // after a Write Memory block, an erase code or list
};

// A step the bootloader answers wrongly: NACK instead of its acknowledge, or nothing at all.
// Matches a command, a step of it and optionally the Write Memory address; lets `after` matches
// through, then strikes `times` times (negative: every time).
struct SimBootFault {
    bool silent = false;
    std::uint8_t command = 0x31;
    SimBootStep step = SimBootStep::Data;
    std::optional<std::uint32_t> address;
    int after = 0;
    int times = -1;
    int matched = 0;
    int strikes = 0;
};

// What went over the line and how long the part was busy, for benchmarks.
struct SimBootStats {
    std::size_t bytesIn = 0;
    std::size_t bytesOut = 0;
    std::size_t exchanges = 0;  // answers given (one per step the host waits for)
    double eraseS = 0.0;
    double programS = 0.0;
};

// The STM32 system bootloader (USART protocol, the subset a flasher uses): sync, Get, Get
// Version, Get ID, Read Memory, Go, Write Memory and Extended Erase (mass or by sector list),
// over 1 MiB of flash and 128 KiB of RAM. Flash takes writes only where it is erased; anything
// refused is answered NACK and changes nothing. Knows no clock: replies carry their delays.
class SimBootloader {
public:
    SimBootloader();

    std::vector<SimReply> Receive(const Bytes& bytes);
    // The part restarts in its bootloader (not synchronised); memory is kept.
    void Restart();
    // True while a command has started but not ended.
    bool InCommand() const { return stage_ != Stage::Unsynced && stage_ != Stage::Idle && stage_ != Stage::Running; }
    // Back to waiting for a command (a host that gave up half-way).
    void AbandonCommand();

    bool Synced() const { return stage_ != Stage::Unsynced; }
    // Go was accepted: the part left the bootloader and runs from `GoAddress()`.
    bool Running() const { return stage_ == Stage::Running; }
    std::uint32_t GoAddress() const { return goAddress_; }

    // --- memory
    // Flash starts as an old image (not erased), so a write without erase is refused.
    static std::uint8_t OldImagePattern(std::uint32_t offset);
    const Bytes& Flash() const { return flash_; }
    Bytes ReadFlash(std::uint32_t offset, std::size_t length) const;
    bool FlashErased(std::uint32_t offset, std::size_t length) const;
    // Offset and size of sector `n` (16, 16, 16, 16, 64, then 128 KiB).
    static std::uint32_t SectorStart(int sector);
    static std::uint32_t SectorSize(int sector);
    int MassErases() const { return massErases_; }
    int Writes() const { return writes_; }

    // --- timing, faults, statistics
    void SetTimes(const SimBootTimes& times) { times_ = times; }
    const SimBootTimes& Times() const { return times_; }
    // Returns the fault's id.
    int AddFault(SimBootFault fault);
    int FaultStrikes(int id) const;
    // NACK on the data block of the Write Memory at flash `address`.
    static SimBootFault NackWriteData(std::uint32_t address, int times = -1);
    // No answer to the count of a Read Memory (at `address`, or anywhere).
    static SimBootFault SilentRead(std::optional<std::uint32_t> address = std::nullopt);
    // A weak flash cell: the byte at flash `offset` reads back with its lowest bit changed once a
    // Write Memory has programmed it, though the write was acknowledged.
    void AddWeakByte(std::uint32_t offset) { weakBytes_.push_back(offset); }
    const SimBootStats& Stats() const { return stats_; }
    void ResetStats() { stats_ = {}; }

private:
    enum class Stage {
        Unsynced,
        Idle,
        Command,       // command byte in, complement awaited
        ReadAddress,
        ReadCount,
        GoAddress,
        WriteAddress,
        WriteBlock,    // count, data and checksum
        EraseHead,     // two bytes: FFFF (mass) or sector count - 1
        EraseRest,     // checksum, or sector numbers and checksum
        Running,
    };

    void Step(std::uint8_t byte, std::size_t inputEnd, std::vector<SimReply>& replies);
    void Reply(Bytes bytes, double delayS, std::size_t inputEnd, std::vector<SimReply>& replies);
    // The fault due for this step, if any (counted).
    const SimBootFault* Fault(SimBootStep step, std::optional<std::uint32_t> address = std::nullopt);
    // ACK (or the fault's answer) and the next stage; a NACK goes back to Idle.
    bool Acknowledge(SimBootStep step, Stage next, std::size_t inputEnd, std::vector<SimReply>& replies,
                     std::optional<std::uint32_t> address = std::nullopt, double delayS = 0.0);
    void Nack(std::size_t inputEnd, std::vector<SimReply>& replies);
    void OnCommand(std::size_t inputEnd, std::vector<SimReply>& replies);
    void OnAddress(std::size_t inputEnd, std::vector<SimReply>& replies);
    void OnReadCount(std::size_t inputEnd, std::vector<SimReply>& replies);
    void OnWriteBlock(std::size_t inputEnd, std::vector<SimReply>& replies);
    void OnEraseHead(std::size_t inputEnd, std::vector<SimReply>& replies);
    void OnEraseRest(std::size_t inputEnd, std::vector<SimReply>& replies);
    bool Readable(std::uint32_t address, std::size_t length) const;
    bool Writable(std::uint32_t address, std::size_t length) const;

    Stage stage_ = Stage::Unsynced;
    Bytes pending_;          // bytes of the current step
    std::size_t need_ = 0;   // bytes the current step takes
    std::uint8_t command_ = 0;
    std::uint32_t address_ = 0;
    std::uint32_t goAddress_ = 0;
    bool massErase_ = false;

    Bytes flash_;
    Bytes ram_;
    int massErases_ = 0;
    int writes_ = 0;
    SimBootTimes times_;
    std::vector<SimBootFault> faults_;
    std::vector<std::uint32_t> weakBytes_;
    SimBootStats stats_;
};
