// The simulated instrument on its own: its answers byte for byte, how it takes frames off the
// line, its faults and their text form.
#include <gtest/gtest.h>

#include <tuple>

#include "sim/FaultRuleText.h"
#include "SimTestHelpers.h"

using namespace simtest;

namespace {

Bytes Counting(std::size_t n, int step)
{
    Bytes data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<std::uint8_t>(i * static_cast<std::size_t>(step) + 1);
    return data;
}

}  // namespace

// ------------------------------------------------------------------ answers

TEST(SimInstrument, AnswersByteForByte)
{
    SimInstrument sim;
    const Bytes four{1, 2, 3, 4};
    Bytes eepromBlock = EepromPatternBytes(1000, 100);
    std::copy(four.begin(), four.end(), eepromBlock.begin());
    const Bytes data = Counting(1024, 3);
    const std::uint32_t flashBlock = 5 * 4096 + 2 * 1024;
    const std::uint32_t lastBlock = 2047u * 4096 + 3 * 1024;
    const std::vector<std::pair<Bytes, Bytes>> exchanges{
        {{'I'}, Acked(Text("VRTA708 000012341.051.02  0314"))},
        {ParamRead(0), Acked(Text("01234"))},  // status '0' and the stored digits
        {ParamRead(12), Acked(Text("00"))},    // never written
        {ParamWrite(300, "1234567890123"), Status('0')},  // index 0x01 0x2C; 13 digits at most
        {ParamRead(300), Acked(Text("01234567890123"))},
        {ParamWrite(146, "300"), Status('0')},
        {{'r'}, Status('0')},
        {EepromRead(1900), Acked(EepromPatternBytes(1900, 100))},  // the last block
        {EepromWrite(1000, four), Status('0')},
        {EepromRead(1000), Acked(eepromBlock)},
        {EepromWrite(1996, {9, 9, 9, 9}), Status('0')},  // the last four bytes
        {FlashRead(3 * 4096), Acked(FlashPatternBytes(3 * 4096, 1024))},  // a long frame
        {FlashRead(lastBlock), Acked(FlashPatternBytes(lastBlock, 1024))},
        {FlashWrite(flashBlock, data), Status('0')},
        {FlashRead(flashBlock), Acked(data)},
        {{'0', 5, 1, 2, 3}, Status('0')},
        {{'2', 0}, Status('0')},
    };
    for (const auto& [request, answer] : exchanges)
        EXPECT_EQ(AskBytes(sim, request), answer) << BytesToHex(request);

    EXPECT_EQ(sim.Param(300), "1234567890123");
    EXPECT_EQ(sim.Param(44), "0");
    EXPECT_EQ(sim.Commits(), 1);
    EXPECT_EQ(Bytes(sim.Eeprom().end() - 5, sim.Eeprom().end()),
              (Bytes{SimInstrument::EepromPattern(1995), 9, 9, 9, 9}));
    EXPECT_TRUE(sim.FlashPageWritten(5));
    EXPECT_EQ(sim.FlashPagesWritten(), 1u);
    using W = SimMemoryWrite;
    EXPECT_EQ(sim.MemoryWrites(), (std::vector<W>{{W::Memory::Eeprom, 1000, 4}, {W::Memory::Eeprom, 1996, 4},
                                                  {W::Memory::Flash, flashBlock, 1024}}));
    Bytes page = FlashPatternBytes(5 * 4096, 4096);  // the rest of the page keeps its pattern
    std::copy(data.begin(), data.end(), page.begin() + 2048);
    EXPECT_EQ(sim.ReadFlash(5 * 4096, 4096), page);
    ASSERT_NE(sim.WifiRegister(5), nullptr);
    EXPECT_EQ(*sim.WifiRegister(5), (Bytes{1, 2, 3}));
    EXPECT_EQ(sim.WifiRegister(6), nullptr);
    EXPECT_FALSE(sim.WifiModuleOn());

    // The pattern tells blocks and pages apart, so a transfer that mixes them up shows.
    EXPECT_NE(FlashPatternBytes(0, 1024), FlashPatternBytes(1024, 1024));
    EXPECT_NE(FlashPatternBytes(0, 4096), FlashPatternBytes(4096, 4096));
    EXPECT_NE(FlashPatternBytes(0, 4096), FlashPatternBytes(2047u * 4096, 4096));

    // A read-back override answers its own text whatever was written.
    sim.SetParamReadBackOverride(146, "7");
    EXPECT_EQ(AskBytes(sim, ParamRead(146)), Acked(Text("07")));
    sim.ClearParamReadBackOverride(146);
    EXPECT_EQ(AskBytes(sim, ParamRead(146)), Acked(Text("0300")));

    // Identity fields are blank padded, or cut, to 8 characters.
    sim.SetIdentity({"QMX-ARN", "12345678", "01.13 ABCDEFGHIJK"});
    EXPECT_EQ(AskBytes(sim, {'I'}), Acked(Text("QMX-ARN 1234567801.13 ABCDEFGHIJK")));
    sim.SetIdentity({"LONGNAME99", "1234567890", "2.00"});
    EXPECT_EQ(AskBytes(sim, {'I'}), Acked(Text("LONGNAME123456782.00")));

    // Switching the Wi-Fi module on: the ACK at once, the answer frame when the module is up.
    for (const double up : {2.0, 3.5}) {
        const auto on = sim.Receive(BuildFrame({'2', 1}));
        ASSERT_EQ(on.size(), 2u);
        EXPECT_EQ(on[0].bytes, Bytes{ctl::ACK});
        EXPECT_DOUBLE_EQ(on[0].delayS, sim.AnswerDelay());
        EXPECT_DOUBLE_EQ(on[1].delayS, sim.AnswerDelay() + up);
        EXPECT_EQ(Join(on), Status('0'));
        EXPECT_TRUE(sim.WifiModuleOn());
        sim.SetWifiSwitchOnDelay(3.5);
    }
}

TEST(SimInstrument, WrittenParametersKeepTheirFamilysWidth)
{
    SimInstrument sim;  // one instrument: a new family replaces the widths of the last
    for (const auto& [family, index, sent, kept] : std::vector<std::tuple<const char*, int, const char*, const char*>>{
             {"31420 QS-LUMPROB", 29, "65535", "255"},  // one byte there
             {"31420 QS-LUMPROB", 25, "65536", "0"},    // two bytes
             {"31420 QS-LUMPROB", 0, "4294967295", "4294967295"},
             {"31400 QMX, VERTA", 29, "65535", "65535"},     // two bytes there
             {"31400 QMX, VERTA", 250, "70000", "70000"}}) {  // no width: kept as sent
        sim.SetParamFamily(family);
        EXPECT_EQ(AskBytes(sim, ParamWrite(index, sent)), Status('0'));
        EXPECT_EQ(sim.Param(index), kept) << family << " " << index;
    }
}

TEST(SimInstrument, RecordCountLivesInItsParameterAndEeprom)
{
    SimInstrument vrta;
    vrta.SetRecordCount(300);
    EXPECT_EQ(vrta.Param(146), "300");
    EXPECT_EQ(Bytes(vrta.Eeprom().begin() + 272, vrta.Eeprom().begin() + 274), (Bytes{0x2C, 0x01}));
    EXPECT_EQ(vrta.Eeprom()[154], SimInstrument::EepromPattern(154));

    SimInstrument qslum({"QSLUM", "00000001", "1.051.02  0314"});
    qslum.SetRecordCount(57);
    EXPECT_EQ(qslum.Param(26), "57");
    EXPECT_EQ(qslum.Param(146), "10");
    EXPECT_EQ(Bytes(qslum.Eeprom().begin() + 154, qslum.Eeprom().begin() + 156), (Bytes{57, 0}));
    EXPECT_EQ(qslum.Eeprom()[272], SimInstrument::EepromPattern(272));
}

TEST(SimInstrument, RequestsItCannotCarryOutChangeNothing)
{
    SimInstrument sim;
    const Bytes eeprom = sim.Eeprom();
    Bytes mismatch = FlashWrite(0, Bytes(1024, 7));
    mismatch.pop_back();  // the length field must match the data carried
    const std::vector<std::pair<Bytes, Bytes>> cases{
        // Malformed: a bare NAK.
        {{'Z'}, kNak}, {{0xD0}, kNak}, {{'I', 0}, kNak}, {{'r', 0}, kNak},
        {{'l', 0, 5}, kNak}, {ParamWrite(5, ""), kNak},
        {{'e', 'x', 0, 0, 0, 0}, kNak}, {{'e', 'd', 0, 0}, kNak},
        {{0xE5, 0, 0, 0, 0x04}, kNak}, {mismatch, kNak},
        {{'0'}, kNak}, {{'2'}, kNak}, {{'2', 1, 0}, kNak},
        // Out of range: status '1'.
        {ParamWrite(5, "12x"), Status('1')}, {ParamWrite(5, "12345678901234"), Status('1')},  // 14 digits
        {EepromWrite(1997, {7, 7, 7, 7}), Status('1')}, {EepromWrite(0, Bytes(147, 7)), Status('1')},
        {EepromRead(1901), Status('1')},
        {FlashRead(2048u * 4096), Status('1')}, {FlashWrite(2048u * 4096, Bytes(1024, 7)), Status('1')},
        {{0xE5, 0, 0, 0, 0, 0}, Status('1')}, {FlashWrite(0, Bytes(1025, 7)), Status('1')},  // length 0, 1025
        {{'2', 9}, Status('1')},
    };
    std::vector<Bytes> requests;
    for (const auto& [request, answer] : cases) {
        EXPECT_EQ(AskBytes(sim, request), answer) << BytesToHex(request);
        requests.push_back(request);
    }
    // An empty payload is a frame without a command.
    EXPECT_EQ(Join(sim.Receive(BuildShortFrame({}))), kNak);
    EXPECT_EQ(sim.Requests(), requests);
    EXPECT_EQ(sim.BadFrames(), 0);
    EXPECT_EQ(sim.Commits(), 0);
    EXPECT_EQ(sim.Param(5), "0");
    EXPECT_EQ(sim.Eeprom(), eeprom);
    EXPECT_EQ(sim.FlashPagesWritten(), 0u);
    EXPECT_TRUE(sim.MemoryWrites().empty());
    EXPECT_TRUE(sim.WifiModuleOn());
}

// ------------------------------------------------------------------ reassembly

TEST(SimInstrumentReceive, FramesInPiecesAndSeveralInOnePiece)
{
    SimInstrument sim;
    const Bytes id = BuildFrame({'I'});
    for (std::size_t i = 0; i + 1 < id.size(); ++i) {
        EXPECT_TRUE(sim.Receive({id[i]}).empty());
        EXPECT_TRUE(sim.ReceivingFrame());
    }
    auto replies = sim.Receive({id.back()});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].inputEnd, 1u);
    EXPECT_EQ(replies[0].bytes, AnswerOf({'I'}));
    EXPECT_FALSE(sim.ReceivingFrame());

    replies = sim.Receive(Cat(BuildFrame({'r'}), id));
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].inputEnd, 6u);
    EXPECT_EQ(replies[0].bytes, Status('0'));
    EXPECT_EQ(replies[1].inputEnd, 12u);
    EXPECT_EQ(replies[1].bytes, AnswerOf({'I'}));

    // A 1036-byte long frame in three pieces.
    const Bytes data = Counting(1024, 7);
    const Bytes frame = BuildFrame(FlashWrite(0x1000, data));
    ASSERT_EQ(frame.size(), 1036u);
    EXPECT_TRUE(sim.Receive(Bytes(frame.begin(), frame.begin() + 2)).empty());
    EXPECT_TRUE(sim.Receive(Bytes(frame.begin() + 2, frame.begin() + 700)).empty());
    replies = sim.Receive(Bytes(frame.begin() + 700, frame.end()));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].inputEnd, 336u);
    EXPECT_EQ(replies[0].bytes, Status('0'));
    EXPECT_EQ(sim.ReadFlash(0x1000, 1024), data);
}

TEST(SimInstrumentReceive, LineNoiseBadFramesAndResync)
{
    SimInstrument sim;
    const Bytes id = BuildFrame({'I'});
    // Bytes outside a frame are skipped.
    const auto replies = sim.Receive(Cat({0x00, 0xFF, 0x7E}, id));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].bytes, AnswerOf({'I'}));
    EXPECT_EQ(replies[0].inputEnd, 9u);
    EXPECT_EQ(sim.DiscardedBytes(), 3u);

    // Wrong checksum, LF or EOT: NAK, and the request is not taken.
    sim.ClearRecord();
    for (const std::size_t at : {3u, 4u, 5u}) {
        Bytes bad = BuildFrame({'r'});
        bad[at] ^= 0x01;
        EXPECT_EQ(Join(sim.Receive(bad)), kNak) << at;
    }
    EXPECT_EQ(sim.BadFrames(), 3);
    EXPECT_EQ(sim.Commits(), 0);
    EXPECT_TRUE(sim.Requests().empty());

    // A start byte with an impossible length is dropped and the next frame still found.
    for (const Bytes& junk : {Bytes{ctl::SOH, 0x03}, Bytes{ctl::STX, 0xFF, 0xFF}, Bytes{ctl::STX, 0x00, 0x03}})
        EXPECT_EQ(Join(sim.Receive(Cat(junk, id))), AnswerOf({'I'})) << BytesToHex(junk);

    // A frame cut off by a quiet line is dropped on request.
    EXPECT_TRUE(sim.Receive(Bytes(id.begin(), id.begin() + 3)).empty());
    EXPECT_TRUE(sim.ReceivingFrame());
    sim.ResetReceiver();
    EXPECT_FALSE(sim.ReceivingFrame());
    EXPECT_EQ(Join(sim.Receive(id)), AnswerOf({'I'}));
}

// ------------------------------------------------------------------ faults

TEST(SimFaults, RefusedOrAlteredAnswers)
{
    using R = SimFaultRule;
    const Bytes normal = AnswerOf({'I'});
    Bytes noEot = normal;
    noEot.back() = 0x00;
    Bytes stretched = Text("VRTA708 000012341.051.02  0314");  // the answer's payload first, then filler
    stretched.resize(5100 - 7, 0xA5);
    Bytes stretchedParam = Text("01234");
    stretchedParam.resize(6000 - 7, 0xA5);
    const Bytes script{0x06, 0x01, 0x05, '3', 0xC1, 0x0A, 0x04};
    const std::vector<std::tuple<std::vector<SimFaultRule>, Bytes, Bytes>> cases{  // rules, request, answer
        // Refused: not carried out.
        {{R::Command('r', SimFault::Silence)}, {'r'}, {}},
        {{R::Command('i', SimFault::Nak)}, ParamWrite(7, "99"), kNak},
        {{R::EepromBlock(8, SimFault::NakStatus)}, EepromWrite(8, {1}), Status(ctl::NAK)},
        {{R::Command('e', SimFault::Busy)}, EepromWrite(0, {1}), Status('2')},
        {{R::Command(0xE6, SimFault::NotOk)}, FlashWrite(0, Bytes(1024, 0)), Status('1')},
        // The identification's refusal has its status after the command echo, at index 4.
        {{R::Command('I', SimFault::Busy).Times(1)}, {'I'}, Acked({'I', '2'})},
        {{R::Command('I', SimFault::NotOk).Times(1)}, {'I'}, Acked({'I', '1'})},
        // Altered: carried out, the answer spoilt.
        {{R::Command('I', SimFault::GarbageBeforeAck).Times(1)}, {'I'}, Cat({0xFF, 0x55}, normal)},
        {{R::Command('l', SimFault::GarbageBeforeAck).WithBytes({0x33}).Times(1)}, ParamRead(0),
         Cat({0x33}, Acked(Text("01234")))},
        {{R::Command('I', SimFault::MissingEot).Times(1)}, {'I'}, noEot},
        {{R::Command('0', SimFault::MissingEot), R::Command('0', SimFault::Nak)}, {'0', 1}, kNak},  // no EOT to lose
        {{R::Command('I', SimFault::Truncated).Times(1)}, {'I'}, Bytes(normal.begin(), normal.begin() + 18)},
        {{R::Command('I', SimFault::Truncated).Length(1).Times(1)}, {'I'}, Bytes{ctl::ACK}},
        {{R::Command('I', SimFault::OverLong).Times(1)}, {'I'}, Acked(stretched)},  // 5100 bytes in all
        {{R::Command('l', SimFault::OverLong).Length(6000)}, ParamRead(0), Acked(stretchedParam)},
        {{R::Command('2', SimFault::Scripted).WithBytes(script)}, {'2', 0}, script},
    };
    SimInstrument sim;
    std::vector<Bytes> requests;
    for (const auto& [rules, request, answer] : cases) {
        const int id = sim.AddFault(rules[0]);
        for (std::size_t i = 1; i < rules.size(); ++i)
            sim.AddFault(rules[i]);
        EXPECT_EQ(AskBytes(sim, request), answer) << BytesToHex(request);
        EXPECT_EQ(sim.FaultStrikes(id), 1) << BytesToHex(request);
        requests.push_back(request);
    }
    EXPECT_EQ(sim.Requests(), requests);  // they arrived all the same
    EXPECT_EQ(sim.Commits(), 0);
    EXPECT_EQ(sim.Param(7), "0");
    EXPECT_EQ(sim.Eeprom()[0], SimInstrument::EepromPattern(0));
    EXPECT_EQ(sim.FlashPagesWritten(), 0u);
    EXPECT_TRUE(sim.MemoryWrites().empty());
    EXPECT_FALSE(sim.WifiModuleOn());  // the scripted answer's command was carried out
}

// Slow and SlowFrame alone: their waits in SimCommandTest.CommitParams.
TEST(SimFaults, DelaysStackAndTheFrameIsSplitAfterTheAck)
{
    SimInstrument sim;
    sim.AddFault(SimFaultRule::Command('2', SimFault::Slow).Delay(0.5));
    sim.AddFault(SimFaultRule::Command('2', SimFault::SlowFrame).Delay(1.0));
    sim.AddFault(SimFaultRule::Command('2', SimFault::GarbageBeforeAck));
    const auto replies = sim.Receive(BuildFrame({'2', 1}));  // the Wi-Fi module's own 2 s as well
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_DOUBLE_EQ(replies[0].delayS, sim.AnswerDelay() + 0.5);
    EXPECT_EQ(replies[0].bytes, (Bytes{0xFF, 0x55, ctl::ACK}));
    EXPECT_DOUBLE_EQ(replies[1].delayS, sim.AnswerDelay() + 0.5 + 2.0 + 1.0);
    EXPECT_EQ(Join(replies), Cat({0xFF, 0x55}, Status('0')));
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
        EXPECT_TRUE(always.Receive(BuildFrame({'r'})).empty());
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
    EXPECT_EQ(AskBytes(sim, FlashRead(6 * 4096)).size(), 1031u);
    EXPECT_EQ(AskBytes(sim, FlashRead(5 * 4096)), Status('1'));
    EXPECT_EQ(AskBytes(sim, FlashWrite(5 * 4096 + 3 * 1024, Bytes(1024, 1))), Status('1'));
    EXPECT_EQ(AskBytes(sim, FlashRead(5 * 4096 + 1024)).size(), 1031u);  // spent after two
    // A parameter index with the same number is no flash address.
    sim.AddFault(SimFaultRule::FlashPage(0, SimFault::Silence));
    EXPECT_EQ(AskBytes(sim, ParamRead(12)), Acked(Text("00")));

    sim.AddFault(SimFaultRule::EepromBlock(500, SimFault::Silence).Times(1));
    EXPECT_EQ(AskBytes(sim, EepromRead(400)).size(), 106u);
    EXPECT_TRUE(AskBytes(sim, EepromRead(500)).empty());
    EXPECT_EQ(AskBytes(sim, EepromRead(500)).size(), 106u);
    sim.AddFault(SimFaultRule::EepromBlock(504, SimFault::Busy));
    EXPECT_EQ(AskBytes(sim, EepromWrite(500, {1, 2, 3, 4})), Status('0'));
    EXPECT_EQ(AskBytes(sim, EepromWrite(504, {1, 2, 3, 4})), Status('2'));

    EXPECT_EQ(SimInstrument::RequestTarget(ParamRead(300)), 300u);
    EXPECT_EQ(SimInstrument::RequestTarget({'2', 1}), 1u);
    EXPECT_FALSE(SimInstrument::RequestTarget({'I'}));
    EXPECT_FALSE(SimInstrument::RequestTarget({0xE5, 0}));
}

// ------------------------------------------------------------------ fault texts of the program

TEST(SimFaultRuleText, ParsesRules)
{
    const std::vector<std::pair<const char*, SimFaultRule>> cases{
        {"nak,cmd=0xE5,after=2,times=1", SimFaultRule::Command(0xE5, SimFault::Nak).After(2).Times(1)},
        {"busy,cmd=I", SimFaultRule::Command('I', SimFault::Busy)},
        {"silence,page=5,times=forever", SimFaultRule::FlashPage(5, SimFault::Silence)},
        {"slow,delay=0.25,cmd=010,target=100-0x200",  // decimal, not octal
         SimFaultRule::Command(10, SimFault::Slow).Delay(0.25).Target(100, 0x200)},
        {"garbage,bytes=FF00a5,eeprom=500",
         SimFaultRule::EepromBlock(500, SimFault::GarbageBeforeAck).WithBytes({0xFF, 0x00, 0xA5})},
        {"truncated,length=10", SimFaultRule::Any(SimFault::Truncated).Length(10)},
        {"nakstatus,cmd=0xE6,target=0x6000", SimFaultRule::Command(0xE6, SimFault::NakStatus).Target(0x6000, 0x6000)},
    };
    const auto fields = [](const SimFaultRule& r) {
        return std::tuple(r.fault, r.commands, r.targetFrom, r.targetTo, r.after, r.times, r.delayS, r.length, r.bytes);
    };
    for (const auto& [text, want] : cases) {
        std::string error;
        const auto rule = ParseFaultRule(text, error);
        ASSERT_TRUE(rule) << text << ": " << error;
        EXPECT_EQ(fields(*rule), fields(want)) << text;
    }
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
