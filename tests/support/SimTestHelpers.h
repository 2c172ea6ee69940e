// Shared by the tests: request payloads, answers built by the protocol's rules, and an
// instrument on a simulated port in virtual time.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "link/Frames.h"
#include "sim/SimInstrument.h"
#include "sim/SimPort.h"
#include "sim/VirtualHost.h"

namespace simtest {

constexpr double kEps = 1e-9;
inline const Bytes kNak{ctl::NAK};

inline Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

inline Bytes Cat(Bytes first, const Bytes& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

inline Bytes Join(const std::vector<SimReply>& replies)
{
    Bytes all;
    for (const auto& r : replies)
        all = Cat(std::move(all), r.bytes);
    return all;
}

// Everything `sim` sends back for one request.
inline Bytes AskBytes(SimInstrument& sim, const Bytes& payload)
{
    return Join(sim.Receive(BuildFrame(payload)));
}

// What a fresh instrument with these faults sends back for one request.
inline Bytes AnswerOf(const Bytes& payload, const std::vector<SimFaultRule>& rules = {}, SimIdentity identity = {})
{
    SimInstrument twin(std::move(identity));
    for (const auto& rule : rules)
        twin.AddFault(rule);
    return AskBytes(twin, payload);
}

// ACK and a frame around `payload`, built here from the protocol's rules rather than by the code
// under test: SOH, LEN = N + 4 (or STX and LEN = N + 5 in two bytes beyond 251 bytes), the payload,
// the checksum that makes every byte from the start through LF add up to 0 modulo 256, LF, EOT.
inline Bytes Acked(const Bytes& payload)
{
    const std::size_t n = payload.size();
    Bytes answer = n > 251 ? Bytes{ctl::ACK, ctl::STX, static_cast<std::uint8_t>((n + 5) >> 8),
                                   static_cast<std::uint8_t>(n + 5)}
                           : Bytes{ctl::ACK, ctl::SOH, static_cast<std::uint8_t>(n + 4)};
    answer.insert(answer.end(), payload.begin(), payload.end());
    unsigned sum = ctl::LF;
    for (std::size_t i = 1; i < answer.size(); ++i)
        sum += answer[i];
    answer.insert(answer.end(), {static_cast<std::uint8_t>(256 - sum % 256), ctl::LF, ctl::EOT});
    return answer;
}

inline Bytes Status(std::uint8_t status)
{
    return Acked({status});
}

inline std::uint8_t At(long value, int shift)
{
    return static_cast<std::uint8_t>(value >> shift);
}

inline Bytes FlashRead(std::uint32_t address)
{
    return {0xE5, At(address, 16), At(address, 8), At(address, 0), 0x04, 0x00};
}

inline Bytes FlashWrite(std::uint32_t address, const Bytes& data)
{
    const auto n = static_cast<long>(data.size());
    return Cat({0xE6, At(address, 16), At(address, 8), At(address, 0), At(n, 8), At(n, 0)}, data);
}

inline Bytes EepromRead(int address)
{
    return {'e', 'd', 0x00, At(address, 8), At(address, 0), 0x00};
}

inline Bytes EepromWrite(int address, const Bytes& data)
{
    return Cat({'e', 0x00, 0x01, At(address, 8), At(address, 0)}, data);
}

inline Bytes ParamRead(int index)
{
    return {'l', At(index, 8), At(index, 0), 0x00};
}

inline Bytes ParamWrite(int index, const std::string& digits)
{
    return Cat({'i', At(index, 8), At(index, 0)}, Text(digits));
}

// The instrument's EEPROM and flash contents before anything is written.
inline Bytes EepromPatternBytes(int from, int count)
{
    Bytes bytes;
    for (int a = from; a < from + count; ++a)
        bytes.push_back(SimInstrument::EepromPattern(a));
    return bytes;
}

inline Bytes FlashPatternBytes(std::uint32_t from, std::uint32_t count)
{
    Bytes bytes;
    for (std::uint32_t a = from; a < from + count; ++a)
        bytes.push_back(SimInstrument::FlashPattern(a));
    return bytes;
}

// An instrument on a simulated port, in virtual time.
class SimRigTest : public ::testing::Test {
protected:
    VirtualHost host;
    SimInstrument sim;
    SimPort port{sim, host};
};

}  // namespace simtest
