// The command routines of the link against the simulated instrument, in virtual time: what each
// takes from an answer, what it gives back under each fault and what that costs.
#include <gtest/gtest.h>

#include <optional>

#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "params/ParamCommands.h"
#include "support/ScriptedDialogs.h"
#include "support/SimTestHelpers.h"

using namespace simtest;

namespace {

enum Routine { kInfo, kCommit, kParam, kFlash, kEeprom, kWifiOff };

// The routine's code, what it took from the answer ("" when it failed) and what it says.
struct Outcome {
    int code = -1;
    std::string taken, message;
};

class SimCommandTest : public SimRigTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(link.InitSeriale(1, "115200"), code::kOk);
        catalogue.LoadFamily("31400 QMX, VERTA");
    }

    // After a quiet line (no earlier exchange's late answer still waited out), with a fresh record.
    Outcome Run(Routine routine, std::optional<SimFaultRule> fault)
    {
        host.RunUntil(host.Now() + kLateAnswerQuietS);
        start = host.Now();
        sim.ClearFaults();
        sim.ClearRecord();
        if (fault)
            sim.AddFault(*fault);
        Outcome out;
        switch (routine) {
        case kInfo: {
            InstrumentInfo info;
            out.code = ReadInstrumentInfo(link, info);
            out.taken = info.Name.empty() ? "" : info.Name + " " + info.FwVersion;
            out.message = info.Message;
            break;
        }
        case kCommit:
            out.code = CommitParams(link, out.message);
            out.taken = out.code == code::kOk ? out.message : "";
            break;
        case kParam: {
            double value = -1.0;
            out.code = ReadParam(link, catalogue, 12, value);
            out.taken = out.code == code::kOk ? std::to_string(static_cast<int>(value)) : "";
            break;
        }
        case kFlash: {
            FlashPageRecord record;
            record.FirstPage = record.LastPage = 5;
            out.code = ReadFlashPages(link, record);
            // The first block is the scripted one, the other three the instrument's own.
            const Bytes expected = Cat(Bytes(1024, 0x5A), FlashPatternBytes(5 * 4096 + 1024, 3072));
            const bool placed = Bytes(record.Data.begin(), record.Data.begin() + 4096) == expected;
            if (out.code == code::kOk)
                out.taken = std::to_string(record.Count) + (placed ? "" : " misplaced");
            break;
        }
        case kEeprom: {
            Bytes data;
            out.code = ReadEepromBlock(link, 0, data, out.message);
            out.taken = out.code == code::kOk ? std::to_string(data.size()) : "";
            break;
        }
        case kWifiOff:
            out.code = WifiCommand(link, 0, out.message);
            break;
        }
        return out;
    }
    double Elapsed() const { return host.Now() - start; }

    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    ParamCatalogue catalogue;
    double start = 0.0;
};

SimFaultRule Once(std::uint8_t command, SimFault fault)
{
    return SimFaultRule::Command(command, fault).Times(1);
}

}  // namespace

// What each wait costs and where a late or stray answer ends up: result code, message and the
// virtual time from the request to the routine's end.
TEST_F(SimCommandTest, EachRoutineUnderTheInstrumentsFaults)
{
    const Bytes flood = AnswerOf({'I'}, {Once('I', SimFault::OverLong)});  // 5100 bytes: 5001 fit
    const std::string stored = BytesToHex(Bytes(flood.begin(), flood.begin() + 5001));
    const std::string garbage = BytesToHex(AnswerOf({'r'}, {Once('r', SimFault::GarbageBeforeAck)}));
    const double f = SimPort::kDefaultLatencyS + sim.AnswerDelay();  // from a request to its answer's first byte
    const double answer = 1.0;
    const struct {
        const char* story;
        Routine routine;
        std::optional<SimFaultRule> fault;
        int code;
        std::string message;
        double elapsed;
    } cases[] = {
        {"identification", kInfo, {}, code::kOk, "", f},
        {"unanswered: the acknowledge wait, no more", kInfo, Once('I', SimFault::Silence), code::kNoFrame, "Serial error", kAckWaitS},
        {"NAK: no frame awaited", kInfo, Once('I', SimFault::Nak), code::kNoFrame, "Rx: 15", f},
        {"ACK only: then the answer wait", kInfo, Once('I', SimFault::Truncated).Length(1), code::kNoFrame, "Rx: 06", f + answer},
        {"flooding the buffer", kInfo, Once('I', SimFault::OverLong), code::kNoFrame, "Rx: " + stored, f + answer},
        {"commit", kCommit, {}, code::kOk, "OK", f},
        {"commit NAK", kCommit, Once('r', SimFault::Nak), code::kMalformed, "Error (Rx: 15)", f},
        {"commit unanswered", kCommit, Once('r', SimFault::Silence), code::kMalformed, "Error (Rx: )", kAckWaitS},
        {"commit, garbage first", kCommit, Once('r', SimFault::GarbageBeforeAck), code::kMalformed, "Error (Rx: " + garbage + ")", f},
        {"commit, No Valid block", kCommit, Once('r', SimFault::Scripted).WithBytes(Status('3')), code::kOk, "No Valid block", f},
        // The acknowledge ends its 0.4 s wait: a frame 0.9 s after it is still in time.
        {"commit frame 0.9 s late", kCommit, Once('r', SimFault::SlowFrame).Delay(0.9), code::kOk, "OK", f + 0.9},
        {"commit acknowledged in 0.39 s", kCommit, Once('r', SimFault::Slow).Delay(0.39), code::kOk, "OK", f + 0.39},
        // A frame of any length but 106 bytes is shown with its address.
        {"EEPROM block refused", kEeprom, SimFaultRule::EepromBlock(0, SimFault::Busy).Times(1), code::kNoFrame,
         "  Rx error at address: 000\r\n  Rx: 06010532BE0A04", f},
        // Only switching the module on waits longer for it.
        {"Wi-Fi module off, answer late", kWifiOff, Once('2', SimFault::SlowFrame).Delay(1.2), code::kNoFrame, " NO EOT", f + answer},
    };
    const Bytes requests[] = {{'I'}, {'r'}, ParamRead(12), FlashRead(5 * 4096), EepromRead(0), {'2', 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        const Outcome out = Run(c.routine, c.fault);
        EXPECT_EQ(out.code, c.code);
        EXPECT_EQ(out.message, c.message);
        EXPECT_EQ(sim.Requests(), std::vector<Bytes>{requests[c.routine]});
        EXPECT_NEAR(Elapsed(), c.elapsed, kEps);
    }
    // The flood is reported once.
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(dialogs.messages[0].title + ": " + dialogs.messages[0].text, "Errore Rx dato (OnComm): Errore Rx dato (OnComm)\r\n" + stored);
}

// Each routine meets one answer in place of the instrument's own: only a whole, well-formed frame
// of the length the routine needs is ever taken; anything else is its failure code, never data.
TEST_F(SimCommandTest, AnswersAreTakenOnlyAsWholeWellFormedFrames)
{
    const auto filled = [](std::size_t n, Bytes head) { return (head.resize(n, 'x'), head); };
    const auto changed = [](Bytes answer, std::size_t at, std::uint8_t to) { return (answer[at] = to, answer); };
    const Bytes id36 = Acked(Text("VRTA708 000012341.051.02  0314"));  // 30 bytes and 6 around them
    const Bytes value = Acked(Text("0123"));
    const Bytes block = Acked(Bytes(1024, 0x5A));
    const struct { const char* story; Routine routine; Bytes answer; int code; std::string taken; } cases[] = {
        {"identification of 36 bytes", kInfo, id36, code::kOk, "VRTA708 1.05"},
        {"identification of 35 bytes, busy at index 4", kInfo, Acked(filled(29, Text("I2"))), code::kBusy, ""},
        {"identification of 35 bytes, OK at index 4", kInfo, Acked(filled(29, Text("I0"))), code::kMalformed, ""},
        {"identification with a stray byte first", kInfo, Cat({0x00}, id36), code::kMalformed, ""},
        {"identification whose acknowledge is garbled", kInfo, changed(id36, 0, 0x86), code::kMalformed, ""},
        {"identification with its checksum changed", kInfo, changed(id36, 33, id36[33] ^ 1), code::kMalformed, ""},
        {"identification in a long frame", kInfo, Acked(filled(260, Text("VRTA708 000012341.051.02"))), code::kMalformed, ""},
        {"commit answered in a long frame", kCommit, Acked(filled(299, Text("0"))), code::kMalformed, ""},
        {"commit answered OK", kCommit, Status('0'), code::kOk, "OK"},
        {"parameter 12", kParam, value, code::kOk, "123"},
        {"parameter with a stray byte first", kParam, Cat({0x06}, value), code::kMalformed, ""},
        {"parameter with a byte changed", kParam, changed(value, 4, value[4] ^ 1), code::kMalformed, ""},
        {"parameter with a stray byte after it", kParam, Cat(value, {0x00}), code::kMalformed, ""},
        {"parameter with a tail that ends as a frame", kParam, Cat(value, {0xF2, 0x0A, 0x04}), code::kMalformed, ""},
        {"parameter answered busy", kParam, Status('2'), code::kBusy, ""},
        {"parameter without LF", kParam, changed(value, value.size() - 2, 0x0B), code::kMalformed, ""},
        {"parameter text that is no number", kParam, Acked(Text("0abc")), code::kMalformed, ""},
        {"parameter in a long frame", kParam, Acked(filled(300, Text("0123 "))), code::kMalformed, ""},
        {"flash block of 1031 bytes", kFlash, block, code::kOk, "4096"},
        {"flash block of 1030 bytes", kFlash, Acked(Bytes(1023, 0x5A)), code::kShortFlashBlock, ""},
        {"flash block of 1027 bytes", kFlash, Acked(Bytes(1020, 0x5A)), code::kShortFlashBlock, ""},
        {"flash block with a byte changed", kFlash, changed(block, 700, 0x5B), code::kMalformed, ""},
        {"flash block with a stray byte first", kFlash, Cat({0xFF}, block), code::kNoFrame, ""},  // never ends at its LEN
        {"flash block in a short frame", kFlash, Acked(Bytes(200, 0x5A)), code::kShortFlashBlock, ""},
        {"flash block answered NAK then ACK and frame", kFlash, Cat({ctl::NAK}, block), code::kNoFrame, ""},
        {"EEPROM block of 106 bytes", kEeprom, Acked(Bytes(100, 0x33)), code::kOk, "100"},
        {"EEPROM block of 107 bytes", kEeprom, Acked(Bytes(101, 0x33)), code::kNoFrame, ""},
        {"EEPROM block with a byte changed", kEeprom, changed(Acked(Bytes(100, 0x33)), 50, 0x32), code::kMalformed, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        // The answer replaces the first block's only; the rest of the page is the instrument's.
        const Outcome out = Run(c.routine, SimFaultRule::Any(SimFault::Scripted).WithBytes(c.answer).Times(1));
        EXPECT_EQ(out.code, c.code);
        EXPECT_EQ(out.taken, c.taken);
    }
}

// Refused before anything is sent, flash ranges with a reason; one step inside each limit is sent.
TEST_F(SimCommandTest, RequestsThatCannotBeSentAreRefusedBeforeSending)
{
    const struct { int first, last, pageSize; bool write; const char* message; } cases[] = {
        {-1, -1, 4096, false, "Pages -1--1 out of range"},
        {3, 4, 4096, false, "Pages 3-4 out of range"},  // the data area holds one page
        {4096, 4096, 4096, false, "Pages 4096-4096 out of range"},
        {3, 2, 4096, false, "3 bigger then 2"},
        {-1, 0, 4096, true, "Pages -1-0 out of range"},
        {4096, 4096, 4096, true, "Pages 4096-4096 out of range"},
        {0, 0, 0, true, "Page size 0 out of range"},
        {3, 2, 4096, true, "3 bigger then 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        FlashPageRecord record;
        std::tie(record.FirstPage, record.LastPage, record.Count) = std::tie(c.first, c.last, c.pageSize);
        EXPECT_EQ(c.write ? WriteFlashPages(link, record) : ReadFlashPages(link, record), code::kRefused);
        EXPECT_EQ(record.Message, c.message);
    }
    std::string message;
    Bytes data;
    EXPECT_EQ(ReadEepromBlock(link, -1, data, message), code::kRefused);
    EXPECT_EQ(WriteEepromBlock(link, 0, Bytes(147, 0), message), code::kRefused);
    EXPECT_EQ(WifiWriteValues(link, 0x28, std::vector<int>(50, 'm'), message), code::kRefused);
    EXPECT_TRUE(port.Writes().empty());
    FlashPageRecord last;
    last.FirstPage = last.LastPage = 4095;  // the last page the three address bytes can name
    EXPECT_EQ(ReadFlashPages(link, last), code::kShortFlashBlock) << "sent, and refused by the instrument";
    EXPECT_EQ(WriteEepromBlock(link, 0, Bytes(146, 0), message), code::kOk);
    EXPECT_EQ(WifiWriteValues(link, 0x28, std::vector<int>(49, 'm'), message), code::kOk);
}
