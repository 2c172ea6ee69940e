#include <gtest/gtest.h>

#include "core/ResultCodes.h"
#include "link/Answers.h"
#include "link/Frames.h"
#include "link/Identification.h"
#include "link/RxState.h"
#include "sim/FaultRuleText.h"
#include "sim/SimInstrument.h"

namespace {

Bytes Join(const std::vector<SimReply>& replies)
{
    Bytes all;
    for (const auto& r : replies)
        all.insert(all.end(), r.bytes.begin(), r.bytes.end());
    return all;
}

std::vector<SimReply> Ask(SimInstrument& sim, const Bytes& payload)
{
    return sim.Receive(BuildFrame(payload));
}

Bytes AskBytes(SimInstrument& sim, const Bytes& payload)
{
    return Join(Ask(sim, payload));
}

// The answer as the PC's recogniser takes it in.
RxState Recognise(const Bytes& answer)
{
    RxState rx;
    rx.ResetForExchange();
    for (const auto b : answer)
        rx.Accept(b);
    return rx;
}

// Bytes from the frame start through LF add up to 0 modulo 256.
bool FrameSumsToZero(const Bytes& answer, std::size_t frameStart)
{
    unsigned sum = 0;
    for (std::size_t i = frameStart; i + 1 < answer.size(); ++i)
        sum += answer[i];
    return sum % 256 == 0;
}

Bytes Status(std::uint8_t status)
{
    Bytes answer{ctl::ACK};
    const Bytes frame = BuildShortFrame({status});
    answer.insert(answer.end(), frame.begin(), frame.end());
    return answer;
}

const Bytes kNakOnly{ctl::NAK};

Bytes FlashRead(std::uint32_t address)
{
    return {0xE5, static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address), 0x04, 0x00};
}

Bytes FlashWrite(std::uint32_t address, const Bytes& data)
{
    Bytes p{0xE6, static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(data.size() >> 8),
            static_cast<std::uint8_t>(data.size())};
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

Bytes EepromRead(int address)
{
    return {'e', 'd', 0x00, static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address), 0x00};
}

Bytes EepromWrite(int address, const Bytes& data)
{
    Bytes p{'e', 0x00, 0x01, static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

Bytes ParamRead(int index)
{
    return {'l', static_cast<std::uint8_t>(index >> 8), static_cast<std::uint8_t>(index), 0x00};
}

Bytes ParamWrite(int index, const std::string& digits)
{
    Bytes p{'i', static_cast<std::uint8_t>(index >> 8), static_cast<std::uint8_t>(index)};
    for (const char c : digits)
        p.push_back(static_cast<std::uint8_t>(c));
    return p;
}

std::string AnswerText(const Bytes& answer)
{
    int result = -1;
    const std::string text = GetAnswerText(Recognise(answer), false, result);
    EXPECT_EQ(result, code::kOk);
    return text;
}

Bytes Counting(std::size_t n, int step)
{
    Bytes data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<std::uint8_t>(i * static_cast<std::size_t>(step) + 1);
    return data;
}

}  // namespace

// ------------------------------------------------------------------ answers

TEST(SimInstrument, IdentificationAnswerLayout)
{
    SimInstrument sim;
    const auto replies = Ask(sim, {'I'});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_DOUBLE_EQ(replies[0].delayS, sim.AnswerDelay());
    EXPECT_EQ(replies[0].inputEnd, 6u);

    const Bytes& a = replies[0].bytes;
    ASSERT_EQ(a.size(), 36u);  // 22 + the 14 characters of the version text
    EXPECT_EQ(a[0], ctl::ACK);
    EXPECT_EQ(a[1], ctl::SOH);
    EXPECT_EQ(a[2], 34);  // the complete answer holds LEN + 2 bytes
    EXPECT_EQ(std::string(a.begin() + 3, a.begin() + 19), "VRTA708 00001234");
    EXPECT_EQ(std::string(a.begin() + 19, a.begin() + 33), "1.051.02  0314");
    EXPECT_EQ(a[34], ctl::LF);
    EXPECT_EQ(a[35], ctl::EOT);
    EXPECT_TRUE(FrameSumsToZero(a, 1));

    const RxState rx = Recognise(a);
    ASSERT_TRUE(rx.RxFrameDone);
    InstrumentInfo info;
    ParseInfoAnswer(rx.RxBuffer, rx.RxCount, info);
    EXPECT_EQ(info.Name, "VRTA708");
    EXPECT_EQ(info.SerialNumber, "00001234");
    EXPECT_EQ(info.FwVersion, "1.05");
    EXPECT_EQ(info.FwDetail, "0314");
}

TEST(SimInstrument, IdentificationOfAnotherInstrument)
{
    SimInstrument sim({"QMX-ARN", "12345678", "01.13 ABCDEFGHIJK"});
    const Bytes a = AskBytes(sim, {'I'});
    ASSERT_EQ(a.size(), 22u + 17u);
    EXPECT_EQ(std::string(a.begin() + 3, a.begin() + 11), "QMX-ARN ");  // blank padded
    EXPECT_TRUE(FrameSumsToZero(a, 1));
    const RxState rx = Recognise(a);
    InstrumentInfo info;
    ParseInfoAnswer(rx.RxBuffer, rx.RxCount, info);
    EXPECT_EQ(info.Name, "QMX-ARN");
    EXPECT_EQ(info.FwVersion, "01.13");
    EXPECT_EQ(info.FwDetail, "EFGHIJK");

    // Over-long fields are cut to their 8 characters.
    sim.SetIdentity({"LONGNAME99", "1234567890", "2.00"});
    const Bytes b = AskBytes(sim, {'I'});
    EXPECT_EQ(std::string(b.begin() + 3, b.begin() + 19), "LONGNAME12345678");
    EXPECT_EQ(b.size(), 26u);
}

TEST(SimInstrument, ParametersReadWriteAndCommit)
{
    SimInstrument sim;
    // 'l' answers '0' and the stored digits; an index never written reads "0".
    Bytes a = AskBytes(sim, ParamRead(0));
    EXPECT_EQ(a, (Bytes{0x06, 0x01, 0x09, '0', '1', '2', '3', '4', a[8], 0x0A, 0x04}));
    EXPECT_TRUE(FrameSumsToZero(a, 1));
    EXPECT_EQ(AnswerText(a), "1234");
    EXPECT_EQ(AnswerText(AskBytes(sim, ParamRead(12))), "0");

    // Index 300 travels as 0x01 0x2C.
    EXPECT_EQ(AskBytes(sim, ParamWrite(300, "65535")), Status('0'));
    EXPECT_EQ(sim.Param(300), "65535");
    EXPECT_EQ(sim.Param(44), "0");
    EXPECT_EQ(AnswerText(AskBytes(sim, ParamRead(300))), "65535");

    // Refused writes leave the value alone.
    EXPECT_EQ(AskBytes(sim, ParamWrite(5, "12x")), Status('1'));
    EXPECT_EQ(AskBytes(sim, ParamWrite(5, "12345678901234")), Status('1'));  // 14 digits
    EXPECT_EQ(AskBytes(sim, ParamWrite(5, "")), kNakOnly);
    EXPECT_EQ(AskBytes(sim, {'l', 0, 5}), kNakOnly);
    EXPECT_EQ(sim.Param(5), "0");
    EXPECT_EQ(AskBytes(sim, ParamWrite(5, "1234567890123")), Status('0'));

    // A read-back override answers its own text whatever was written.
    sim.SetParamReadBackOverride(146, "7");
    EXPECT_EQ(AskBytes(sim, ParamWrite(146, "300")), Status('0'));
    EXPECT_EQ(sim.Param(146), "300");
    EXPECT_EQ(AnswerText(AskBytes(sim, ParamRead(146))), "7");
    sim.ClearParamReadBackOverride(146);
    EXPECT_EQ(AnswerText(AskBytes(sim, ParamRead(146))), "300");

    EXPECT_EQ(sim.Commits(), 0);
    EXPECT_EQ(AskBytes(sim, {'r'}), Status('0'));
    EXPECT_EQ(sim.Commits(), 1);
}

TEST(SimInstrument, ParametersKeepTheirFamilysWidth)
{
    SimInstrument sim;
    sim.SetParamFamily("31420 QS-LUMPROB");
    EXPECT_EQ(AskBytes(sim, ParamWrite(29, "65535")), Status('0'));  // one byte there
    EXPECT_EQ(sim.Param(29), "255");
    EXPECT_EQ(AskBytes(sim, ParamWrite(25, "65536")), Status('0'));  // two bytes
    EXPECT_EQ(sim.Param(25), "0");
    EXPECT_EQ(AskBytes(sim, ParamWrite(0, "4294967295")), Status('0'));
    EXPECT_EQ(sim.Param(0), "4294967295");

    sim.SetParamFamily("31400 QMX, VERTA");
    EXPECT_EQ(AskBytes(sim, ParamWrite(29, "65535")), Status('0'));  // two bytes there
    EXPECT_EQ(sim.Param(29), "65535");
    EXPECT_EQ(AskBytes(sim, ParamWrite(250, "70000")), Status('0'));  // no width: kept as sent
    EXPECT_EQ(sim.Param(250), "70000");
}

TEST(SimInstrument, RecordCountLivesInItsParameterAndEeprom)
{
    SimInstrument vrta;
    EXPECT_EQ(vrta.Param(146), "10");
    vrta.SetRecordCount(300);
    EXPECT_EQ(vrta.Param(146), "300");
    EXPECT_EQ(vrta.Eeprom()[272], 0x2C);
    EXPECT_EQ(vrta.Eeprom()[273], 0x01);
    EXPECT_EQ(vrta.Eeprom()[154], SimInstrument::EepromPattern(154));
    EXPECT_EQ(AnswerText(AskBytes(vrta, ParamRead(146))), "300");

    SimInstrument qslum({"QSLUM", "00000001", "1.051.02  0314"});
    qslum.SetRecordCount(57);
    EXPECT_EQ(qslum.Param(26), "57");
    EXPECT_EQ(qslum.Param(146), "10");
    EXPECT_EQ(qslum.Eeprom()[154], 57);
    EXPECT_EQ(qslum.Eeprom()[155], 0);
    EXPECT_EQ(qslum.Eeprom()[272], SimInstrument::EepromPattern(272));
}

TEST(SimInstrument, EepromBlocks)
{
    SimInstrument sim;
    for (int a = 0; a < kSimEepromSize; ++a)
        ASSERT_EQ(sim.Eeprom()[static_cast<std::size_t>(a)], SimInstrument::EepromPattern(a)) << a;

    const Bytes a = AskBytes(sim, EepromRead(1900));
    ASSERT_EQ(a.size(), 106u);
    EXPECT_EQ((Bytes{a[0], a[1], a[2]}), (Bytes{0x06, 0x01, 104}));
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(a[static_cast<std::size_t>(3 + i)], SimInstrument::EepromPattern(1900 + i));
    EXPECT_EQ(a[104], ctl::LF);
    EXPECT_EQ(a[105], ctl::EOT);
    EXPECT_TRUE(FrameSumsToZero(a, 1));
    EXPECT_TRUE(Recognise(a).RxFrameDone);

    EXPECT_EQ(AskBytes(sim, EepromWrite(1000, {1, 2, 3, 4})), Status('0'));
    const Bytes back = AskBytes(sim, EepromRead(1000));
    EXPECT_EQ((Bytes{back[3], back[4], back[5], back[6], back[7]}),
              (Bytes{1, 2, 3, 4, SimInstrument::EepromPattern(1004)}));
    EXPECT_EQ(AskBytes(sim, EepromWrite(1996, {9, 9, 9, 9})), Status('0'));  // the last four bytes

    // Outside the 2000 bytes, or more than 146 bytes: refused, nothing changes.
    const Bytes before = sim.Eeprom();
    EXPECT_EQ(AskBytes(sim, EepromWrite(1998, {7, 7, 7, 7})), Status('1'));
    EXPECT_EQ(AskBytes(sim, EepromWrite(0, Bytes(147, 7))), Status('1'));
    EXPECT_EQ(AskBytes(sim, EepromRead(1901)), Status('1'));
    EXPECT_EQ(AskBytes(sim, {'e', 'x', 0, 0, 0, 0}), kNakOnly);
    EXPECT_EQ(AskBytes(sim, {'e', 'd', 0, 0}), kNakOnly);
    EXPECT_EQ(sim.Eeprom(), before);
}

TEST(SimInstrument, FlashIsSparseAndReadsItsPatternUntilWritten)
{
    SimInstrument sim;
    const Bytes a = AskBytes(sim, FlashRead(3 * 4096));
    ASSERT_EQ(a.size(), 1031u);
    EXPECT_EQ((Bytes{a[0], a[1], a[2], a[3]}), (Bytes{0x06, 0x02, 0x04, 0x05}));  // LEN 1029
    for (std::uint32_t i = 0; i < 1024; ++i)
        ASSERT_EQ(a[4 + i], SimInstrument::FlashPattern(3 * 4096 + i)) << i;
    EXPECT_EQ(a[1029], ctl::LF);
    EXPECT_EQ(a[1030], ctl::EOT);
    EXPECT_TRUE(FrameSumsToZero(a, 1));
    const RxState rx = Recognise(a);
    EXPECT_TRUE(rx.RxFrameDone);
    EXPECT_EQ(rx.RxCount, 1031);

    // The pattern tells pages and blocks apart, so a transfer that mixes them up shows.
    EXPECT_NE(sim.ReadFlash(0, 1024), sim.ReadFlash(1024, 1024));
    EXPECT_NE(sim.ReadFlash(0, 4096), sim.ReadFlash(4096, 4096));
    EXPECT_NE(sim.ReadFlash(0, 4096), sim.ReadFlash(2047u * 4096, 4096));

    const Bytes data = Counting(1024, 3);
    const std::uint32_t block = 5 * 4096 + 2 * 1024;
    EXPECT_EQ(AskBytes(sim, FlashWrite(block, data)), Status('0'));
    EXPECT_TRUE(sim.FlashPageWritten(5));
    EXPECT_EQ(sim.FlashPagesWritten(), 1u);
    EXPECT_EQ(sim.ReadFlash(block, 1024), data);
    const Bytes rest = sim.ReadFlash(5 * 4096, 2048);
    for (std::uint32_t i = 0; i < 2048; ++i)
        ASSERT_EQ(rest[i], SimInstrument::FlashPattern(5 * 4096 + i));
    const Bytes readBack = AskBytes(sim, FlashRead(block));
    EXPECT_EQ(Bytes(readBack.begin() + 4, readBack.begin() + 1028), data);

    // The last block of page 2047 is there; nothing beyond it.
    EXPECT_EQ(AskBytes(sim, FlashRead(2047u * 4096 + 3 * 1024)).size(), 1031u);
    EXPECT_EQ(AskBytes(sim, FlashRead(2048u * 4096)), Status('1'));
    EXPECT_EQ(AskBytes(sim, FlashWrite(2048u * 4096, data)), Status('1'));
    EXPECT_EQ(AskBytes(sim, {0xE5, 0, 0, 0, 0, 0}), Status('1'));  // length 0
    EXPECT_EQ(AskBytes(sim, {0xE5, 0, 0, 0, 0x04}), kNakOnly);
    // The length field must match the data carried.
    Bytes mismatch = FlashWrite(0, data);
    mismatch.pop_back();
    EXPECT_EQ(AskBytes(sim, mismatch), kNakOnly);
    EXPECT_EQ(sim.FlashPagesWritten(), 1u);
}

TEST(SimInstrument, WifiModule)
{
    SimInstrument sim;
    EXPECT_EQ(AskBytes(sim, {'0', 5, 1, 2, 3}), Status('0'));
    ASSERT_NE(sim.WifiRegister(5), nullptr);
    EXPECT_EQ(*sim.WifiRegister(5), (Bytes{1, 2, 3}));
    EXPECT_EQ(sim.WifiRegister(6), nullptr);

    auto off = Ask(sim, {'2', 0});
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(off[0].bytes, Status('0'));
    EXPECT_FALSE(sim.WifiModuleOn());

    // Switching on: the ACK at once, the answer frame when the module is up.
    const double d = sim.AnswerDelay();
    auto on = Ask(sim, {'2', 1});
    ASSERT_EQ(on.size(), 2u);
    EXPECT_DOUBLE_EQ(on[0].delayS, d);
    EXPECT_EQ(on[0].bytes, Bytes{ctl::ACK});
    EXPECT_DOUBLE_EQ(on[1].delayS, d + 2.0);
    const Bytes ok = Status('0');
    EXPECT_EQ(on[1].bytes, Bytes(ok.begin() + 1, ok.end()));
    EXPECT_TRUE(sim.WifiModuleOn());
    sim.SetWifiSwitchOnDelay(3.5);
    EXPECT_DOUBLE_EQ(Ask(sim, {'2', 1})[1].delayS, d + 3.5);

    EXPECT_EQ(AskBytes(sim, {'2', 9}), Status('1'));
    EXPECT_EQ(AskBytes(sim, {'2'}), kNakOnly);
    EXPECT_EQ(AskBytes(sim, {'0'}), kNakOnly);
}

TEST(SimInstrument, UnknownCommandsAndStrayArgumentsGetNak)
{
    SimInstrument sim;
    EXPECT_EQ(AskBytes(sim, {'Z'}), kNakOnly);
    EXPECT_EQ(AskBytes(sim, {'I', 0}), kNakOnly);
    EXPECT_EQ(AskBytes(sim, {'r', 0}), kNakOnly);
    EXPECT_EQ(AskBytes(sim, {0xD0}), kNakOnly);
    EXPECT_EQ(sim.Commits(), 0);
    // An empty payload is a frame without a command.
    EXPECT_EQ(Join(sim.Receive(BuildShortFrame({}))), kNakOnly);
    EXPECT_EQ(sim.Requests(), (std::vector<Bytes>{{'Z'}, {'I', 0}, {'r', 0}, {0xD0}}));
}

// ------------------------------------------------------------------ reassembly

TEST(SimInstrumentReceive, FrameArrivingByteByByteIsAnsweredOnce)
{
    SimInstrument sim;
    const Bytes frame = BuildFrame({'I'});
    for (std::size_t i = 0; i + 1 < frame.size(); ++i) {
        EXPECT_TRUE(sim.Receive({frame[i]}).empty());
        EXPECT_TRUE(sim.ReceivingFrame());
    }
    const auto replies = sim.Receive({frame.back()});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].inputEnd, 1u);
    EXPECT_EQ(replies[0].bytes.size(), 36u);
    EXPECT_FALSE(sim.ReceivingFrame());
}

TEST(SimInstrumentReceive, SeveralFramesAndLongFramesAcrossChunks)
{
    SimInstrument sim;
    Bytes two = BuildFrame({'r'});
    const Bytes id = BuildFrame({'I'});
    two.insert(two.end(), id.begin(), id.end());
    const auto replies = sim.Receive(two);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].inputEnd, 6u);
    EXPECT_EQ(replies[0].bytes, Status('0'));
    EXPECT_EQ(replies[1].inputEnd, 12u);
    EXPECT_EQ(replies[1].bytes.size(), 36u);

    // A 1036-byte long frame in three pieces.
    const Bytes data = Counting(1024, 7);
    const Bytes frame = BuildFrame(FlashWrite(0x1000, data));
    ASSERT_EQ(frame.size(), 1036u);
    ASSERT_EQ(frame[0], ctl::STX);
    EXPECT_TRUE(sim.Receive(Bytes(frame.begin(), frame.begin() + 2)).empty());
    EXPECT_TRUE(sim.Receive(Bytes(frame.begin() + 2, frame.begin() + 700)).empty());
    const auto last = sim.Receive(Bytes(frame.begin() + 700, frame.end()));
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].inputEnd, 336u);
    EXPECT_EQ(last[0].bytes, Status('0'));
    EXPECT_EQ(sim.ReadFlash(0x1000, 1024), data);
    EXPECT_EQ(sim.Requests().back(), FlashWrite(0x1000, data));
}

TEST(SimInstrumentReceive, LineNoiseBadFramesAndResync)
{
    SimInstrument sim;
    // Bytes outside a frame are skipped.
    Bytes noisy{0x00, 0xFF, 0x7E};
    const Bytes id = BuildFrame({'I'});
    noisy.insert(noisy.end(), id.begin(), id.end());
    auto replies = sim.Receive(noisy);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].bytes.size(), 36u);
    EXPECT_EQ(replies[0].inputEnd, 9u);
    EXPECT_EQ(sim.DiscardedBytes(), 3u);

    // Wrong checksum, LF or EOT: NAK, and the request is not taken.
    sim.ClearRecord();
    for (const std::size_t at : {3u, 4u, 5u}) {
        Bytes bad = BuildFrame({'r'});
        bad[at] ^= 0x01;
        EXPECT_EQ(Join(sim.Receive(bad)), kNakOnly) << at;
    }
    EXPECT_EQ(sim.BadFrames(), 3);
    EXPECT_EQ(sim.Commits(), 0);
    EXPECT_TRUE(sim.Requests().empty());
    EXPECT_EQ(AskBytes(sim, {'r'}), Status('0'));

    // A start byte with an impossible length is dropped and the next frame still found.
    for (const Bytes& junk : {Bytes{ctl::SOH, 0x03}, Bytes{ctl::STX, 0xFF, 0xFF}, Bytes{ctl::STX, 0x00, 0x03}}) {
        Bytes input = junk;
        input.insert(input.end(), id.begin(), id.end());
        replies = sim.Receive(input);
        ASSERT_EQ(replies.size(), 1u) << BytesToHex(junk);
        EXPECT_EQ(replies[0].bytes.size(), 36u);
        EXPECT_FALSE(sim.ReceivingFrame());
    }

    // A frame cut off by a quiet line is dropped on request.
    EXPECT_TRUE(sim.Receive(Bytes(id.begin(), id.begin() + 3)).empty());
    EXPECT_TRUE(sim.ReceivingFrame());
    sim.ResetReceiver();
    EXPECT_FALSE(sim.ReceivingFrame());
    EXPECT_EQ(sim.Receive(id).size(), 1u);
}

// ------------------------------------------------------------------ faults

TEST(SimFaults, RefusalsLeaveTheCommandUndone)
{
    SimInstrument sim;
    const int silence = sim.AddFault(SimFaultRule::Command('r', SimFault::Silence));
    EXPECT_TRUE(Ask(sim, {'r'}).empty());
    EXPECT_EQ(sim.Commits(), 0);
    EXPECT_EQ(sim.Requests(), std::vector<Bytes>{{'r'}});  // it arrived all the same
    EXPECT_EQ(sim.FaultStrikes(silence), 1);

    sim.AddFault(SimFaultRule::Command('i', SimFault::Nak));
    EXPECT_EQ(AskBytes(sim, ParamWrite(7, "99")), kNakOnly);
    EXPECT_EQ(sim.Param(7), "0");

    sim.AddFault(SimFaultRule::Command('e', SimFault::Busy));
    EXPECT_EQ(AskBytes(sim, EepromWrite(0, {1})), Status('2'));
    EXPECT_EQ(sim.Eeprom()[0], SimInstrument::EepromPattern(0));

    sim.AddFault(SimFaultRule::Command(0xE6, SimFault::NotOk));
    EXPECT_EQ(AskBytes(sim, FlashWrite(0, Bytes(1024, 0))), Status('1'));
    EXPECT_EQ(sim.FlashPagesWritten(), 0u);

    // The identification's refusal has its status at index 4.
    sim.AddFault(SimFaultRule::Command('I', SimFault::Busy));
    const Bytes busy = AskBytes(sim, {'I'});
    EXPECT_EQ(busy, (Bytes{0x06, 0x01, 0x06, 'I', '2', busy[5], 0x0A, 0x04}));
    EXPECT_TRUE(FrameSumsToZero(busy, 1));
    const RxState rx = Recognise(busy);
    ASSERT_TRUE(rx.RxFrameDone);
    std::string message;
    EXPECT_EQ(DecodeAnswer(4, rx.RxBuffer, rx.RxCount, message), code::kBusy);
}

TEST(SimFaults, AlteredAnswers)
{
    SimInstrument plain;
    const Bytes normal = AskBytes(plain, {'I'});

    {
        SimInstrument sim;
        sim.AddFault(SimFaultRule::Any(SimFault::GarbageBeforeAck));
        Bytes expected{0xFF, 0x55};
        expected.insert(expected.end(), normal.begin(), normal.end());
        EXPECT_EQ(AskBytes(sim, {'I'}), expected);
        sim.ClearFaults();
        sim.AddFault(SimFaultRule::Any(SimFault::GarbageBeforeAck).WithBytes({0x33}));
        EXPECT_EQ(AskBytes(sim, {'r'})[0], 0x33);
    }
    {
        SimInstrument sim;
        sim.AddFault(SimFaultRule::Any(SimFault::MissingEot));
        const Bytes a = AskBytes(sim, {'I'});
        ASSERT_EQ(a.size(), normal.size());
        EXPECT_TRUE(std::equal(a.begin(), a.end() - 1, normal.begin()));
        EXPECT_NE(a.back(), ctl::EOT);
        EXPECT_FALSE(Recognise(a).RxFrameDone);
        // A NAK has no EOT to lose.
        sim.AddFault(SimFaultRule::Any(SimFault::Nak));
        EXPECT_EQ(AskBytes(sim, {'I'}), kNakOnly);
    }
    {
        SimInstrument sim;
        sim.AddFault(SimFaultRule::Any(SimFault::Truncated).Times(1));
        sim.AddFault(SimFaultRule::Any(SimFault::Truncated).After(1).Length(1));
        EXPECT_EQ(AskBytes(sim, {'I'}), Bytes(normal.begin(), normal.begin() + 18));
        EXPECT_EQ(AskBytes(sim, {'I'}), Bytes{ctl::ACK});
    }
    {
        SimInstrument sim;
        sim.AddFault(SimFaultRule::Any(SimFault::OverLong).Times(1));
        sim.AddFault(SimFaultRule::Any(SimFault::OverLong).After(1).Length(6000));
        const Bytes a = AskBytes(sim, {'I'});
        ASSERT_EQ(a.size(), 5100u);
        EXPECT_EQ((Bytes{a[0], a[1], a[2], a[3]}), (Bytes{0x06, 0x02, 0x13, 0xEA}));  // LEN 5098
        EXPECT_TRUE(std::equal(normal.begin() + 3, normal.end() - 3, a.begin() + 4));  // payload first
        EXPECT_EQ(a[5098], ctl::LF);
        EXPECT_EQ(a[5099], ctl::EOT);
        EXPECT_TRUE(FrameSumsToZero(a, 1));
        EXPECT_EQ(AskBytes(sim, {'r'}).size(), 6000u);
    }
    {
        SimInstrument sim;
        sim.AddFault(SimFaultRule::Command('r', SimFault::Scripted).WithBytes({0x06, 0x01, 0x05, '3', 0xC1, 0x0A, 0x04}));
        EXPECT_EQ(AskBytes(sim, {'r'}), (Bytes{0x06, 0x01, 0x05, '3', 0xC1, 0x0A, 0x04}));
        EXPECT_EQ(sim.Commits(), 1);  // carried out, only the answer differs
    }
}

TEST(SimFaults, SlowAnswersAndLateFrames)
{
    SimInstrument sim;
    const double d = sim.AnswerDelay();
    sim.AddFault(SimFaultRule::Command('I', SimFault::Slow).Delay(0.75));
    auto replies = Ask(sim, {'I'});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_DOUBLE_EQ(replies[0].delayS, d + 0.75);
    EXPECT_EQ(replies[0].bytes.size(), 36u);

    sim.AddFault(SimFaultRule::Command('r', SimFault::SlowFrame).Delay(0.7));
    replies = Ask(sim, {'r'});
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_DOUBLE_EQ(replies[0].delayS, d);
    EXPECT_EQ(replies[0].bytes, Bytes{ctl::ACK});
    EXPECT_DOUBLE_EQ(replies[1].delayS, d + 0.7);
    EXPECT_EQ(replies[1].bytes.size(), 6u);

    // Slow and a late frame stack with the Wi-Fi module's own delay and with garbage.
    sim.AddFault(SimFaultRule::Command('2', SimFault::Slow).Delay(0.5));
    sim.AddFault(SimFaultRule::Command('2', SimFault::SlowFrame).Delay(1.0));
    sim.AddFault(SimFaultRule::Command('2', SimFault::GarbageBeforeAck));
    replies = Ask(sim, {'2', 1});
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_DOUBLE_EQ(replies[0].delayS, d + 0.5);
    EXPECT_EQ(replies[0].bytes, (Bytes{0xFF, 0x55, ctl::ACK}));
    EXPECT_DOUBLE_EQ(replies[1].delayS, d + 0.5 + 2.0 + 1.0);
}

TEST(SimFaults, AfterAndTimesCountOnlyMatchingRequests)
{
    SimInstrument sim;
    const int rule = sim.AddFault(SimFaultRule::Command(0xE5, SimFault::Nak).After(2).Times(1));
    std::vector<std::size_t> sizes;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(AskBytes(sim, {'I'}).size(), 36u);  // other commands neither fail nor count
        sizes.push_back(AskBytes(sim, FlashRead(static_cast<std::uint32_t>(i) * 1024)).size());
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{1031, 1031, 1, 1031, 1031}));
    EXPECT_EQ(sim.FaultStrikes(rule), 1);

    SimInstrument always;
    const int forever = always.AddFault(SimFaultRule::Any(SimFault::Silence));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(Ask(always, {'r'}).empty());
    EXPECT_EQ(always.FaultStrikes(forever), 4);
    always.ClearFaults();
    EXPECT_EQ(AskBytes(always, {'r'}), Status('0'));
    EXPECT_EQ(always.FaultStrikes(forever), 0);
}

TEST(SimFaults, FlashPageAndEepromBlockTargets)
{
    SimInstrument sim;
    sim.AddFault(SimFaultRule::FlashPage(5, SimFault::NotOk).Times(2));
    EXPECT_EQ(AskBytes(sim, FlashRead(4 * 4096 + 3 * 1024)).size(), 1031u);
    EXPECT_EQ(AskBytes(sim, FlashRead(5 * 4096)), Status('1'));
    EXPECT_EQ(AskBytes(sim, FlashWrite(5 * 4096 + 3 * 1024, Bytes(1024, 1))), Status('1'));
    EXPECT_EQ(AskBytes(sim, FlashRead(5 * 4096 + 1024)).size(), 1031u);  // spent after two
    EXPECT_EQ(AskBytes(sim, FlashRead(6 * 4096)).size(), 1031u);
    // A parameter index with the same number is no flash address.
    sim.AddFault(SimFaultRule::FlashPage(0, SimFault::Silence));
    EXPECT_EQ(AnswerText(AskBytes(sim, ParamRead(12))), "0");

    sim.AddFault(SimFaultRule::EepromBlock(500, SimFault::Silence).Times(1));
    EXPECT_EQ(AskBytes(sim, EepromRead(400)).size(), 106u);
    EXPECT_TRUE(Ask(sim, EepromRead(500)).empty());
    EXPECT_EQ(AskBytes(sim, EepromRead(500)).size(), 106u);
    sim.AddFault(SimFaultRule::EepromBlock(504, SimFault::Busy));
    EXPECT_EQ(AskBytes(sim, EepromWrite(500, {1, 2, 3, 4})), Status('0'));
    EXPECT_EQ(AskBytes(sim, EepromWrite(504, {1, 2, 3, 4})), Status('2'));

    EXPECT_EQ(SimInstrument::RequestTarget(FlashRead(0x7FFC00)), 0x7FFC00u);
    EXPECT_EQ(SimInstrument::RequestTarget(EepromWrite(1996, {})), 1996u);
    EXPECT_EQ(SimInstrument::RequestTarget(ParamRead(300)), 300u);
    EXPECT_EQ(SimInstrument::RequestTarget({'2', 1}), 1u);
    EXPECT_FALSE(SimInstrument::RequestTarget({'I'}));
    EXPECT_FALSE(SimInstrument::RequestTarget({0xE5, 0}));
}

// ------------------------------------------------------------------ fault texts of the program

TEST(SimFaultRuleText, ParsesRules)
{
    std::string error;
    auto rule = ParseFaultRule("nak,cmd=0xE5,after=2,times=1", error);
    ASSERT_TRUE(rule) << error;
    EXPECT_EQ(rule->fault, SimFault::Nak);
    EXPECT_EQ(rule->commands, Bytes{0xE5});
    EXPECT_EQ(rule->after, 2);
    EXPECT_EQ(rule->times, 1);

    rule = ParseFaultRule("busy,cmd=I", error);
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->commands, Bytes{'I'});
    EXPECT_EQ(rule->times, kSimForever);

    rule = ParseFaultRule("silence,page=5,times=forever", error);
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->commands, (Bytes{0xE5, 0xE6}));
    EXPECT_EQ(rule->targetFrom, 5u * 4096);
    EXPECT_EQ(rule->targetTo, 5u * 4096 + 4095);

    rule = ParseFaultRule("slow,delay=0.25,cmd=010,target=100-0x200", error);
    ASSERT_TRUE(rule);
    EXPECT_DOUBLE_EQ(rule->delayS, 0.25);
    EXPECT_EQ(rule->commands, Bytes{10});  // decimal, not octal
    EXPECT_EQ(rule->targetFrom, 100u);
    EXPECT_EQ(rule->targetTo, 0x200u);

    rule = ParseFaultRule("garbage,bytes=FF00a5,eeprom=500", error);
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->bytes, (Bytes{0xFF, 0x00, 0xA5}));
    EXPECT_EQ(rule->commands, Bytes{'e'});
    EXPECT_EQ(rule->targetFrom, 500u);

    rule = ParseFaultRule("truncated,length=10", error);
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->length, 10u);

    // A parsed rule does what it says.
    SimInstrument sim;
    sim.AddFault(*ParseFaultRule("notok,cmd=r,after=1", error));
    EXPECT_EQ(AskBytes(sim, {'r'}), Status('0'));
    EXPECT_EQ(AskBytes(sim, {'r'}), Status('1'));
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
