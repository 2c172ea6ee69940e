// The simulated instrument: its answers byte for byte against frames built here from the protocol's
// rules, its refusal of requests it cannot carry out and of bootloader frames with a wrong check (so
// a wrong request of the tool shows), and its port's line time.
#include <gtest/gtest.h>

#include "sim/FaultRuleText.h"
#include "sim/SimBootloader.h"
#include "support/SimTestHelpers.h"

using namespace simtest;

TEST(SimInstrument, AnswersByteForByte)
{
    SimInstrument sim;
    const Bytes data = FlashPatternBytes(0, 1024);  // not what the block held
    const std::uint32_t flashBlock = 5 * 4096 + 2 * 1024;
    const std::uint32_t lastBlock = 2047u * 4096 + 3 * 1024;
    const std::vector<std::pair<Bytes, Bytes>> exchanges{
        {{'I'}, Acked(Text("VRTA708 000012341.051.02  0314"))},
        {ParamRead(0), Acked(Text("01234"))},  // status '0' and the stored digits
        {ParamWrite(300, "1234567890123"), Status('0')},  // index 0x01 0x2C; 13 digits at most
        {ParamRead(300), Acked(Text("01234567890123"))},
        {{'r'}, Status('0')},
        {EepromRead(1900), Acked(EepromPatternBytes(1900, 100))},  // the last block
        {EepromWrite(1000, {1, 2, 3, 4}), Status('0')},
        {EepromRead(1000), Acked(Cat({1, 2, 3, 4}, EepromPatternBytes(1004, 96)))},
        {FlashRead(3 * 4096), Acked(FlashPatternBytes(3 * 4096, 1024))},  // a long frame
        {FlashRead(lastBlock), Acked(FlashPatternBytes(lastBlock, 1024))},
        {FlashWrite(flashBlock, data), Status('0')},
        {FlashRead(flashBlock), Acked(data)},
        {{'0', 5, 1, 2, 3}, Status('0')},
    };
    for (const auto& [request, answer] : exchanges)
        EXPECT_EQ(AskBytes(sim, request), answer) << BytesToHex(request);
    // The identification's refusal has its status after the command echo, at index 4.
    sim.AddFault(SimFaultRule::Command('I', SimFault::Busy).Times(1));
    EXPECT_EQ(AskBytes(sim, {'I'}), Acked({'I', '2'}));
}

// Malformed requests get a bare NAK, requests out of range status '1'; neither changes anything.
TEST(SimInstrument, RequestsItCannotCarryOutChangeNothing)
{
    SimInstrument sim;
    const Bytes eeprom = sim.Eeprom();
    Bytes mismatch = FlashWrite(0, Bytes(1024, 7));
    mismatch.pop_back();  // the length field must match the data carried
    const std::vector<std::pair<Bytes, Bytes>> cases{
        {{'Z'}, kNak}, {{0xD0}, kNak}, {{'I', 0}, kNak}, {{'r', 0}, kNak},
        {{'l', 0, 5}, kNak}, {ParamWrite(5, ""), kNak},
        {{'e', 'x', 0, 0, 0, 0}, kNak}, {{'e', 'd', 0, 0}, kNak},
        {{0xE5, 0, 0, 0, 0x04}, kNak}, {mismatch, kNak},
        {{'0'}, kNak}, {{'2'}, kNak}, {{'2', 1, 0}, kNak},
        {ParamWrite(5, "12x"), Status('1')}, {ParamWrite(5, "12345678901234"), Status('1')},  // 14 digits
        {EepromWrite(1997, {7, 7, 7, 7}), Status('1')}, {EepromWrite(0, Bytes(147, 7)), Status('1')},
        {EepromRead(1901), Status('1')},
        {FlashRead(2048u * 4096), Status('1')}, {FlashWrite(2048u * 4096, Bytes(1024, 7)), Status('1')},
        {{0xE5, 0, 0, 0, 0, 0}, Status('1')}, {FlashWrite(0, Bytes(1025, 7)), Status('1')},  // length 0, 1025
        {{'2', 9}, Status('1')},
    };
    for (const auto& [request, answer] : cases)
        EXPECT_EQ(AskBytes(sim, request), answer) << BytesToHex(request);
    EXPECT_EQ(Join(sim.Receive(BuildShortFrame({}))), kNak) << "a frame without a command";
    EXPECT_EQ(sim.Commits(), 0);
    EXPECT_EQ(sim.Param(5), "0");
    EXPECT_EQ(sim.Eeprom(), eeprom);
    EXPECT_EQ(sim.FlashPagesWritten(), 0u);
    EXPECT_TRUE(sim.WifiModuleOn());
}

// Frames come off the line in any pieces; a wrong checksum, LF or EOT is answered NAK and not
// carried out, and bytes outside a frame are skipped.
TEST(SimInstrument, FramesInPiecesAndBadFrames)
{
    SimInstrument sim;
    const Bytes id = BuildFrame({'I'});
    for (std::size_t i = 0; i + 1 < id.size(); ++i)
        EXPECT_TRUE(sim.Receive({id[i]}).empty());
    EXPECT_EQ(Join(sim.Receive({id.back()})), AnswerOf({'I'}));
    const auto replies = sim.Receive(Cat(Cat({0x00, 0xFF}, BuildFrame({'r'})), id));
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].bytes, Status('0'));
    EXPECT_EQ(replies[1].bytes, AnswerOf({'I'}));

    sim.ClearRecord();
    const int commits = sim.Commits();
    for (const std::size_t at : {3u, 4u, 5u}) {
        Bytes bad = BuildFrame({'r'});
        bad[at] ^= 0x01;
        EXPECT_EQ(Join(sim.Receive(bad)), kNak) << at;
    }
    EXPECT_EQ(sim.Commits(), commits);
    EXPECT_TRUE(sim.Requests().empty());
}

TEST(SimFaultRuleText, RejectsBadText)
{
    for (const char* text : {"", "explode", "nak,cmd=0x100", "nak,cmd=", "nak,page=2048", "nak,after=-1",
                             "nak,after=1x", "slow,delay=abc", "slow,delay=-1", "nak,colour=red", "garbage,bytes=F",
                             "garbage,bytes=GG", "nak,target=9-3", "nak,times=0x"}) {
        std::string error;
        EXPECT_FALSE(ParseFaultRule(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

// Paced, each byte takes 11 bits (even parity) of line time, and answers queue on the line.
TEST(SimPort, PacedBytesTakeTheirLineTime)
{
    VirtualHost host;
    SimInstrument sim;
    SimPort port{sim, host};
    std::vector<double> at;
    const auto record = [&] {
        for (std::uint8_t b = 0; port.ReadByte(b);)
            at.push_back(host.Now());
    };
    port.SetReceiveHandler(record);
    sim.SetAnswerDelay(0.0);
    port.SetPacing(true);
    port.SetLineSettings("115200,E,8,1");
    ASSERT_TRUE(port.Open().ok());
    const double start = host.Now();
    const double bit = 11.0 / 115200;
    ASSERT_TRUE(port.Write(Cat(BuildFrame({'r'}), BuildFrame({'r'}))));
    host.RunUntil(start + 1.0);
    ASSERT_EQ(at.size(), 14u);
    EXPECT_NEAR(at[0] - start, 7.0 * bit, kEps);   // first request ends at 6, its ACK at 7
    EXPECT_NEAR(at[6] - start, 13.0 * bit, kEps);  // first answer done
    EXPECT_NEAR(at[7] - start, 14.0 * bit, kEps);  // second answer waits for the line
    EXPECT_NEAR(at[13] - start, 20.0 * bit, kEps);
}

namespace {

// Four address bytes and their XOR.
Bytes Address(std::uint32_t a, std::uint8_t spoil = 0)
{
    const Bytes b{At(a, 24), At(a, 16), At(a, 8), At(a, 0)};
    return Cat(b, {static_cast<std::uint8_t>(b[0] ^ b[1] ^ b[2] ^ b[3] ^ spoil)});
}

// N - 1, N bytes, their XOR.
Bytes Block(const Bytes& data, std::uint8_t spoil = 0)
{
    Bytes b = Cat({static_cast<std::uint8_t>(data.size() - 1)}, data);
    std::uint8_t x = spoil;
    for (const auto v : b)
        x ^= v;
    return Cat(b, {x});
}

}  // namespace

// The STM32 bootloader step by step: each step's answer, a refusal (1F) for any check that does
// not hold, and no write into flash that is not erased.
TEST(SimBootloader, AnswersAndRefusalsStepByStep)
{
    SimBootloader boot;
    const Bytes data(256, 0x5A);
    const Bytes write{0x31, 0xCE};
    const Bytes erase{0x44, 0xBB};
    const std::vector<std::pair<Bytes, const char*>> steps{
        {{0x01, 0x05, 'I'}, ""},  // an instrument frame before the sync
        {{0x7F}, "79"}, {{0x7F}, "1F"},  // sync, and no second one
        {{0x31, 0x31}, "1F"},  // complement wrong
        {{0x63, 0x9C}, "1F"},  // protection is not served
        {write, "79"}, {Address(0x08000000), "79"}, {Block(data), "1F"},  // into flash not erased
        {erase, "79"}, {{0xFF, 0xFF, 0x01}, "1F"},  // mass erase with a wrong check
        {erase, "79"}, {{0xFF, 0xFF, 0x00}, "79"},
        {write, "79"}, {Address(0x08000100, 1), "1F"},
        {write, "79"}, {Address(0x08000100), "79"}, {Block(data, 1), "1F"},
        {write, "79"}, {Address(0x08000000 + kSimBootFlashSize), "1F"},  // beyond the flash
        {write, "79"}, {Address(0x08000100), "79"}, {Block(data), "79"},
        {write, "79"}, {Address(0x08000100), "79"}, {Block(data), "1F"},  // the same address again
        {{0x21, 0xDE}, "79"}, {Address(0x09000000), "1F"},  // go to no program
    };
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(BytesToHex(Join(boot.Receive(steps[i].first))), steps[i].second) << "step " << i;
    EXPECT_EQ(boot.ReadFlash(0x100, 256), data);
    EXPECT_TRUE(boot.FlashErased(0, 256)) << "nothing written where the checks failed";
    EXPECT_TRUE(boot.FlashErased(0x200, 256));
    EXPECT_EQ(boot.Writes(), 1);
    EXPECT_FALSE(boot.Running());
}
