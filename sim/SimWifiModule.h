#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "core/Bytes.h"

// The instrument's Wi-Fi module as its registers are read and written through the instrument.
// Text registers hold their characters, the mode registers one digit, the address, mask, function
// and status registers four bytes. Registers outside its table keep whatever is written to them.
class SimWifiModule {
public:
    SimWifiModule();

    // Payload of the answer frame to a read of register n ('1' n): '0' and the register's bytes,
    // or a refusal with the status byte `status` (see Refusal).
    Bytes Read(int n) const;
    // Status byte of the answer to a write ('0' n values): '0' when taken, '1' when refused.
    std::uint8_t Write(int n, const Bytes& values);
    // How a refusal of a read of register n looks: the status alone, or for the password
    // registers '0' and then the status (their answer of one byte is their refusal).
    static Bytes Refusal(int n, std::uint8_t status);

    bool On() const { return on_; }
    void SetOn(bool on) { on_ = on; }
    // Without the module every Wi-Fi command is refused with NAK.
    bool Fitted() const { return fitted_; }
    void SetFitted(bool fitted) { fitted_ = fitted; }

    const Bytes* Register(int n) const;
    void SetRegister(int n, Bytes value) { registers_[n] = std::move(value); }
    const std::map<int, Bytes>& Registers() const { return registers_; }
    int Reboots() const { return reboots_; }

    enum class Kind { Unknown, WriteOnly, Text, ReadOnly, Digit, Speed, Quad, ReadOnlyQuad };
    static Kind KindOf(int n);

private:
    std::map<int, Bytes> registers_;
    bool on_ = true;
    bool fitted_ = true;
    int reboots_ = 0;
};
