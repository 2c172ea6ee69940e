#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/SimBootloader.h"
#include "sim/SimDevice.h"
#include "sim/SimInstrument.h"

// The instrument's two processors as the PC's serial line meets them. The CPU board either runs
// its firmware (the framed command protocol of SimInstrument) or, started with its bootloader keys
// held, its STM32 system bootloader; after a Go it is off until the operator switches it on. The
// MIS board's bootloader is reached only through the running CPU firmware: 0xD0 opens the
// pass-through, 0xD1 (commands) and 0xD2 (a page) carry bootloader bytes, 0xD3 resets the MIS
// board; every such answer is the instrument's ACK followed by the bootloader's own bytes. 0xD4 0x00
// moves the instrument link to 57600 baud (0xD4 0x01 back to 115200).
class SimBoards : public SimDevice {
public:
    enum class CpuState { Firmware, Bootloader, Off };

    explicit SimBoards(SimInstrument& instrument);
    SimBoards(const SimBoards&) = delete;
    SimBoards& operator=(const SimBoards&) = delete;

    // --- SimDevice
    std::vector<SimReply> Receive(const Bytes& bytes) override;
    bool ReceivingFrame() const override;
    void ResetReceiver() override;
    void SetLine(double now, int hostBaud) override;
    // The bootloader's line has even parity.
    double BitsPerByte() const override { return cpuState_ == CpuState::Bootloader ? 11.0 : 10.0; }
    int LineBaud() const override { return cpuState_ == CpuState::Firmware ? linkBaud_ : 0; }

    // --- the operator
    // Starts the CPU board in its bootloader (keys held at power-on).
    void StartCpuInBootloader();
    // How long after a Go the operator switches the instrument on (negative: never).
    void SetPowerOnDelay(double seconds) { powerOnDelayS_ = seconds; }
    CpuState Cpu() const;

    // --- the parts
    SimInstrument& Instrument() { return instrument_; }
    SimBootloader& CpuBoot() { return cpu_; }
    SimBootloader& MisBoot() { return mis_; }
    const SimBootloader& CpuBoot() const { return cpu_; }
    const SimBootloader& MisBoot() const { return mis_; }
    void SetBootTimes(const SimBootTimes& times);

    // --- the link
    static constexpr int kDefaultLinkBaud = 115200;
    static constexpr int kSlowLinkBaud = 57600;
    // The firmware's link rate once 0xD4 has set one (0 before: it takes any rate).
    int LinkBaud() const { return linkBaud_; }
    // Bytes that arrived at another rate than the link's: unreadable, dropped.
    std::size_t LineErrors() const { return lineErrors_; }
    bool PassThroughOpen() const { return passThrough_; }
    int MisResets() const { return misResets_; }
    // Bytes and busy time of both bootloaders.
    SimBootStats BootStats() const;
    void ResetBootStats();

private:
    std::optional<SimHookAnswer> PassThrough(const Bytes& payload);
    void UpdatePower();

    SimInstrument& instrument_;
    SimBootloader cpu_;
    SimBootloader mis_;
    CpuState cpuState_ = CpuState::Firmware;
    double now_ = 0.0;
    int hostBaud_ = 0;
    double goAt_ = 0.0;
    double powerOnDelayS_ = 1.0;
    int linkBaud_ = 0;
    bool passThrough_ = false;
    int misResets_ = 0;
    std::size_t lineErrors_ = 0;
};
