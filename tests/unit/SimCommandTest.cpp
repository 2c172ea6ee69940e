// The command routines of the link against the simulated instrument, in virtual time.
#include <gtest/gtest.h>

#include <tuple>

#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "params/ParamCommands.h"
#include "support/ScriptedDialogs.h"
#include "SimTestHelpers.h"

using namespace simtest;

namespace {

class SimCommandTest : public SimRigTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(link.InitSeriale(1, "115200"), code::kOk);
        Restart();
    }

    double Elapsed() const { return host.Now() - start; }
    // A quiet line first, so no earlier exchange's late answer is still being waited out.
    void Restart()
    {
        host.RunUntil(host.Now() + kLateAnswerQuietS);
        start = host.Now();
    }
    // From a request to the first byte of its answer, without pacing.
    double FirstByte() const { return SimPort::kDefaultLatencyS + sim.AnswerDelay(); }

    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    double start = 0.0;
};

// What a routine gives back under one fault: result code, message, virtual time spent.
struct FaultCase {
    SimFaultRule rule;
    int code;
    std::string message;
    double elapsed;
};

}  // namespace

// ------------------------------------------------------------------ identification

TEST_F(SimCommandTest, Identification)
{
    InstrumentInfo info;
    EXPECT_EQ(ReadInstrumentInfo(link, info), code::kOk);
    EXPECT_EQ(info.Name, "VRTA708");
    EXPECT_EQ(info.SerialNumber, "00001234");
    EXPECT_EQ(info.FwVersion, "1.05");
    EXPECT_EQ(info.FwDetail, "0314");
    EXPECT_EQ(info.Message, "");
    EXPECT_EQ(port.Writes(), (std::vector<Bytes>{{0x01, 0x05, 0x49, 0xA7, 0x0A, 0x04}}));
    EXPECT_EQ(sim.Requests(), std::vector<Bytes>{{'I'}});
    EXPECT_NEAR(Elapsed(), FirstByte(), kEps);
}

TEST_F(SimCommandTest, IdentificationFailures)
{
    const auto once = [](SimFault fault) { return SimFaultRule::Command('I', fault).Times(1); };
    const auto shown = [&](SimFault fault) { return "Rx: " + BytesToHex(AnswerOf({'I'}, {once(fault)})); };
    const Bytes flood = AnswerOf({'I'}, {once(SimFault::OverLong)});  // 5100 bytes: 5001 fit
    const std::string stored = BytesToHex(Bytes(flood.begin(), flood.begin() + 5001));
    const double f = FirstByte();
    const std::vector<FaultCase> cases{
        {once(SimFault::Silence), code::kNoFrame, "Serial error", 0.4},           // the ACK wait, no more
        {once(SimFault::Nak), code::kNoFrame, "Rx: 15", f},                       // no frame awaited
        {once(SimFault::Truncated).Length(1), code::kNoFrame, "Rx: 06", f + 1.0},  // ACK, then the answer wait
        {once(SimFault::Truncated), code::kNoFrame, shown(SimFault::Truncated), f + 1.0},
        {once(SimFault::MissingEot), code::kNoFrame, shown(SimFault::MissingEot), f + 1.0},
        {once(SimFault::OverLong), code::kNoFrame, "Rx: " + stored, f + 1.0},
        {once(SimFault::Busy), code::kBusy, "Busy ...", f},
        {once(SimFault::NotOk), code::kNotOk, "NO OK !!", f},
    };
    for (const auto& c : cases) {
        Restart();
        sim.AddFault(c.rule);
        InstrumentInfo info;
        EXPECT_EQ(ReadInstrumentInfo(link, info), c.code) << "fault " << static_cast<int>(c.rule.fault);
        EXPECT_EQ(info.Message, c.message);
        EXPECT_NEAR(Elapsed(), c.elapsed, kEps) << "fault " << static_cast<int>(c.rule.fault);
    }
    EXPECT_EQ(sim.Requests().size(), cases.size());
    // The flood is reported once, and the exchanges after it are not disturbed.
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(dialogs.messages[0].title, "Errore Rx dato (OnComm)");
    EXPECT_EQ(dialogs.messages[0].text, "Errore Rx dato (OnComm)\r\n" + stored);
}

// ------------------------------------------------------------------ answers taken only whole

// Each routine meets one answer in place of the instrument's own: only a whole, well-formed frame
// of the length the routine needs is ever taken; anything else is its failure code, never data.
TEST_F(SimCommandTest, AnswersAreTakenOnlyAsWholeWellFormedFrames)
{
    ParamCatalogue catalogue;
    catalogue.LoadFamily("31400 QMX, VERTA");
    const auto filled = [](std::size_t n, Bytes head) {
        head.resize(n, 'x');
        return head;
    };
    const auto corrupt = [](Bytes answer, std::size_t at) {
        answer[at] ^= 0x01;
        return answer;
    };
    const Bytes id36 = Acked(Text("VRTA708 000012341.051.02  0314"));  // 30 bytes and 6 around them
    const Bytes value = Acked(Text("0123"));
    const Bytes block = Acked(Bytes(1024, 0x5A));
    // Routine, its answer, result code, what it took ("" when nothing).
    enum Routine { kInfo, kCommit, kParam, kFlash, kEeprom };
    const struct {
        const char* story;
        Routine routine;
        Bytes answer;
        int code;
        std::string taken;
    } cases[] = {
        {"identification of 36 bytes", kInfo, id36, code::kOk, "VRTA708 1.05"},
        {"identification of 35 bytes, busy at index 4", kInfo, Acked(filled(29, Text("I2"))), code::kBusy, ""},
        {"identification of 35 bytes, OK at index 4", kInfo, Acked(filled(29, Text("I0"))), code::kMalformed, ""},
        {"identification with a stray byte first", kInfo, Cat({0x00}, id36), code::kMalformed, ""},
        {"identification whose acknowledge is garbled", kInfo, [&] { Bytes a = id36; a[0] = 0x86; return a; }(),
         code::kMalformed, ""},
        {"identification with a byte changed", kInfo, corrupt(id36, 20), code::kMalformed, ""},
        {"identification with its checksum changed", kInfo, corrupt(id36, 36 - 3), code::kMalformed, ""},
        {"identification in a long frame", kInfo, Acked(filled(260, Text("VRTA708 000012341.051.02  0314"))), code::kMalformed, ""},
        {"commit answered in a long frame", kCommit, Acked(filled(299, Text("0"))), code::kMalformed, ""},
        {"commit answered OK", kCommit, Status('0'), code::kOk, "OK"},
        {"parameter 12", kParam, value, code::kOk, "123"},
        {"parameter with a stray byte first", kParam, Cat({0x06}, value), code::kMalformed, ""},
        {"parameter with a byte changed", kParam, corrupt(value, 4), code::kMalformed, ""},
        {"parameter with a stray byte after it", kParam, Cat(value, {0x00}), code::kMalformed, ""},
        {"parameter without LF", kParam, [&] { Bytes a = value; a[a.size() - 2] = 0x0B; return a; }(), code::kMalformed, ""},
        {"parameter text that is no number", kParam, Acked(Text("0abc")), code::kMalformed, ""},
        {"parameter in a long frame", kParam, Acked(filled(300, Text("0123 "))), code::kMalformed, ""},
        {"flash block of 1031 bytes", kFlash, block, code::kOk, "4096"},
        {"flash block of 1030 bytes", kFlash, Acked(Bytes(1023, 0x5A)), code::kShortFlashBlock, ""},
        {"flash block of 1027 bytes", kFlash, Acked(Bytes(1020, 0x5A)), code::kShortFlashBlock, ""},
        {"flash block of 1024 bytes", kFlash, Acked(Bytes(1017, 0x5A)), code::kShortFlashBlock, ""},
        {"flash block with a byte changed", kFlash, corrupt(block, 700), code::kMalformed, ""},
        {"flash block with a stray byte first", kFlash, Cat({0xFF}, block), code::kNoFrame, ""},  // never ends at its LEN
        {"flash block in a short frame", kFlash, Acked(Bytes(200, 0x5A)), code::kShortFlashBlock, ""},
        {"flash block answered NAK then ACK and frame", kFlash, Cat({ctl::NAK}, block), code::kNoFrame, ""},
        {"EEPROM block of 106 bytes", kEeprom, Acked(Bytes(100, 0x33)), code::kOk, "100"},
        {"EEPROM block of 106 bytes with a byte changed", kEeprom, corrupt(Acked(Bytes(100, 0x33)), 50), code::kMalformed, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        Restart();
        sim.ClearFaults();
        // The fault answers the first block of a page only; the rest of the page is the instrument's.
        sim.AddFault(SimFaultRule::Any(SimFault::Scripted).WithBytes(c.answer).Times(1));
        std::string taken;
        int code = -1;
        switch (c.routine) {
        case kInfo: {
            InstrumentInfo info;
            code = ReadInstrumentInfo(link, info);
            taken = info.Name.empty() ? "" : info.Name + " " + info.FwVersion;
            break;
        }
        case kCommit: {
            std::string message;
            code = CommitParams(link, message);
            taken = code == code::kOk ? message : "";
            break;
        }
        case kParam: {
            double read = -1.0;
            code = ReadParam(link, catalogue, 12, read);
            taken = code == code::kOk ? std::to_string(static_cast<int>(read)) : "";
            break;
        }
        case kFlash: {
            FlashPageRecord record;
            record.FirstPage = record.LastPage = 5;
            code = ReadFlashPages(link, record);
            taken = code == code::kOk ? std::to_string(record.Count) : "";
            if (code == code::kOk) {
                EXPECT_EQ(Bytes(record.Data.begin(), record.Data.begin() + 1024), Bytes(1024, 0x5A));
                EXPECT_EQ(Bytes(record.Data.begin() + 1024, record.Data.begin() + 4096), FlashPatternBytes(5 * 4096 + 1024, 3072));
            }
            break;
        }
        case kEeprom: {
            Bytes data;
            std::string message;
            code = ReadEepromBlock(link, 100, data, message);
            taken = code == code::kOk ? std::to_string(data.size()) : "";
            break;
        }
        }
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(taken, c.taken);
    }
}

// Refused before anything is sent, with a reason.
TEST_F(SimCommandTest, FlashRangesThatCannotBeSentAreRefusedWithAMessage)
{
    const struct {
        int first, last, pageSize;
        bool write;
        const char* message;
    } cases[] = {
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
        record.FirstPage = c.first;
        record.LastPage = c.last;
        record.Count = c.pageSize;
        EXPECT_EQ(c.write ? WriteFlashPages(link, record) : ReadFlashPages(link, record), code::kRefused);
        EXPECT_EQ(record.Message, c.message);
    }
    EXPECT_TRUE(port.Writes().empty());
    FlashPageRecord last;
    last.FirstPage = last.LastPage = 4095;  // the last page the three address bytes can name
    EXPECT_EQ(ReadFlashPages(link, last), code::kShortFlashBlock) << "sent, and refused by the instrument";
}

// ------------------------------------------------------------------ parameters commit

TEST_F(SimCommandTest, CommitParams)
{
    std::string message;
    EXPECT_EQ(CommitParams(link, message), code::kOk);
    EXPECT_EQ(message, "OK");
    EXPECT_EQ(sim.Requests(), std::vector<Bytes>{{'r'}});
    EXPECT_NEAR(Elapsed(), FirstByte(), kEps);

    const auto once = [](SimFault fault) { return SimFaultRule::Command('r', fault).Times(1); };
    const double f = FirstByte();
    const std::vector<FaultCase> cases{
        {once(SimFault::Busy), code::kBusy, "Busy ...", f},
        {once(SimFault::NotOk), code::kNotOk, "NO OK !!", f},
        {once(SimFault::Nak), code::kMalformed, "Error (Rx: 15)", f},
        {once(SimFault::Silence), code::kMalformed, "Error (Rx: )", 0.4},
        {once(SimFault::GarbageBeforeAck), code::kMalformed,
         "Error (Rx: " + BytesToHex(AnswerOf({'r'}, {once(SimFault::GarbageBeforeAck)})) + ")", f},
        {once(SimFault::Scripted).WithBytes(Status('3')), code::kOk, "No Valid block", f},  // counts as done
        // A frame 0.9 s after the ACK is in time: the 0.4 s ACK wait ends at the ACK.
        {once(SimFault::SlowFrame).Delay(0.9), code::kOk, "OK", f + 0.9},
        {once(SimFault::Slow).Delay(0.39), code::kOk, "OK", f + 0.39},  // an ACK just inside its 0.4 s
    };
    for (const auto& c : cases) {
        Restart();
        sim.AddFault(c.rule);
        EXPECT_EQ(CommitParams(link, message), c.code) << "fault " << static_cast<int>(c.rule.fault);
        EXPECT_EQ(message, c.message);
        EXPECT_NEAR(Elapsed(), c.elapsed, kEps) << "fault " << static_cast<int>(c.rule.fault);
    }
    EXPECT_EQ(sim.Commits(), 5);  // refusals undone; garbage, scripted and late answers carried out
}

// ------------------------------------------------------------------ EEPROM

TEST_F(SimCommandTest, ReadAndWriteEepromBlocks)
{
    Bytes data;
    std::string message;
    EXPECT_EQ(ReadEepromBlock(link, 1900, data, message), code::kOk);
    EXPECT_EQ(data, EepromPatternBytes(1900, 100));
    EXPECT_EQ(message, "");
    EXPECT_EQ(sim.Requests(), (std::vector<Bytes>{{'e', 'd', 0x00, 0x07, 0x6C, 0x00}}));
    EXPECT_EQ(ReadEepromBlock(link, -1, data, message), code::kRefused);
    EXPECT_EQ(sim.Requests().size(), 1u);  // refused before anything was sent

    // No frame: no message. A frame of any length but 106 bytes is shown with its address.
    const auto stray = SimFaultRule::EepromBlock(5, SimFault::GarbageBeforeAck).WithBytes({0xFF}).Times(1);
    const Bytes shortAnswer = Acked(Bytes(99, 0x42));  // 105 bytes
    const std::vector<std::tuple<int, SimFaultRule, std::string>> cases{  // address, fault, message
        {100, SimFaultRule::EepromBlock(100, SimFault::Silence).Times(1), ""},
        {5, stray, "  Rx error at address: 005\r\n  Rx: " + BytesToHex(AnswerOf(EepromRead(5), {stray}))},  // 107 bytes
        {1200, SimFaultRule::EepromBlock(1200, SimFault::Scripted).WithBytes(shortAnswer).Times(1),
         "  Rx error at address: 1200\r\n  Rx: " + BytesToHex(shortAnswer)},
        // A refusal is a complete frame of the wrong length too.
        {0, SimFaultRule::EepromBlock(0, SimFault::Busy).Times(1),
         "  Rx error at address: 000\r\n  Rx: 06010532BE0A04"},
    };
    for (const auto& [address, rule, text] : cases) {
        sim.AddFault(rule);
        EXPECT_EQ(ReadEepromBlock(link, address, data, message), code::kNoFrame) << address;
        EXPECT_EQ(message, text);
    }

    sim.ClearRecord();
    const std::size_t writes = port.Writes().size();
    EXPECT_EQ(WriteEepromBlock(link, 1996, {1, 2, 3, 4}, message), code::kOk);
    EXPECT_EQ(message, "OK");
    EXPECT_EQ(sim.Requests(), (std::vector<Bytes>{{'e', 0x00, 0x01, 0x07, 0xCC, 1, 2, 3, 4}}));
    EXPECT_EQ(Bytes(sim.Eeprom().begin() + 1996, sim.Eeprom().end()), (Bytes{1, 2, 3, 4}));

    sim.AddFault(SimFaultRule::EepromBlock(0, SimFault::NotOk).Times(1));
    EXPECT_EQ(WriteEepromBlock(link, 0, {9}, message), code::kNotOk);
    EXPECT_EQ(message, "NO OK !!");
    EXPECT_EQ(sim.Eeprom()[0], SimInstrument::EepromPattern(0));
    sim.AddFault(SimFaultRule::EepromBlock(0, SimFault::Silence).Times(1));
    EXPECT_EQ(WriteEepromBlock(link, 0, {9}, message), code::kNoFrame);

    // 147 bytes are refused before anything is sent; 146 go.
    EXPECT_EQ(WriteEepromBlock(link, 0, Bytes(147, 0), message), code::kRefused);
    EXPECT_EQ(port.Writes().size(), writes + 3);
    EXPECT_EQ(WriteEepromBlock(link, 0, Bytes(146, 0), message), code::kOk);
}

// ------------------------------------------------------------------ flash

TEST_F(SimCommandTest, ReadFlashPages)
{
    // Four blocks a page.
    FlashPageRecord record;
    record.FirstPage = record.LastPage = 3;
    EXPECT_EQ(ReadFlashPages(link, record), code::kOk);
    EXPECT_EQ(sim.Requests(), (std::vector<Bytes>{FlashRead(0x3000), FlashRead(0x3400), FlashRead(0x3800),
                                                  FlashRead(0x3C00)}));
    ASSERT_EQ(record.Count, 4096);
    const Bytes expected = FlashPatternBytes(0x3000, 4096);
    EXPECT_EQ(Bytes(record.Data.begin(), record.Data.begin() + 4096), expected);
    EXPECT_EQ(record.Text, BytesToText(expected, 0, 4096));
    EXPECT_NEAR(Elapsed(), 4 * FirstByte(), kEps);

    record.FirstPage = record.LastPage = 2047;
    EXPECT_EQ(ReadFlashPages(link, record), code::kOk);
    EXPECT_EQ(sim.Requests().back(), FlashRead(0x7FFC00));

    // A refusal answer is a complete but short frame: 25 after the first block.
    sim.ClearRecord();
    record.FirstPage = record.LastPage = 3;
    sim.AddFault(SimFaultRule::FlashPage(3, SimFault::NotOk).After(1).Times(1));
    EXPECT_EQ(ReadFlashPages(link, record), code::kShortFlashBlock);
    EXPECT_EQ(record.Count, 1024);
    EXPECT_EQ(sim.Requests().size(), 2u);

    // Silence on the third block: 3, two blocks kept, 0.4 s spent on it.
    sim.ClearRecord();
    Restart();
    sim.AddFault(SimFaultRule::FlashPage(3, SimFault::Silence).After(2).Times(1));
    EXPECT_EQ(ReadFlashPages(link, record), code::kNoFrame);
    EXPECT_EQ(record.Count, 2048);
    EXPECT_EQ(sim.Requests().size(), 3u);
    EXPECT_NEAR(Elapsed(), 2 * FirstByte() + 0.4, kEps);

    // A block cut short never completes: the full answer wait.
    Restart();
    sim.AddFault(SimFaultRule::Command(0xE5, SimFault::Truncated).Times(1));
    EXPECT_EQ(ReadFlashPages(link, record), code::kNoFrame);
    EXPECT_EQ(record.Count, 0);
    EXPECT_NEAR(Elapsed(), FirstByte() + 1.0, kEps);
}

TEST_F(SimCommandTest, WriteFlashPages)
{
    // Four long frames of 1036 bytes (LEN 1035).
    FlashPageRecord record;
    record.FirstPage = record.LastPage = 7;
    record.Count = 4096;
    for (std::size_t i = 0; i < 4096; ++i)
        record.Data[i] = static_cast<std::uint8_t>(i * 5 + 3);
    const Bytes page(record.Data.begin(), record.Data.begin() + 4096);
    EXPECT_EQ(WriteFlashPages(link, record), code::kOk);
    EXPECT_EQ(sim.ReadFlash(0x7000, 4096), page);
    ASSERT_EQ(sim.Requests().size(), 4u);
    for (std::uint32_t b = 0; b < 4; ++b) {
        const auto block = page.begin() + b * 1024;
        EXPECT_EQ(sim.Requests()[b], FlashWrite(0x7000 + b * 1024, Bytes(block, block + 1024)));
    }
    ASSERT_EQ(port.Writes()[0].size(), 1036u);
    EXPECT_EQ(Bytes(port.Writes()[0].begin(), port.Writes()[0].begin() + 3), (Bytes{0x02, 0x04, 0x0B}));

    sim.ClearRecord();
    record.Data.assign(kFlashDataArea, 0x11);
    sim.AddFault(SimFaultRule::Command(0xE6, SimFault::NotOk).After(2).Times(1));
    EXPECT_EQ(WriteFlashPages(link, record), code::kNotOk);
    EXPECT_EQ(record.Message, "NO OK !!\r\nTx: E6<007800><0400> +<1024>\r\nNumBlocco: 2");
    EXPECT_EQ(sim.Requests().size(), 3u);  // the fourth block is never sent
    EXPECT_EQ(sim.ReadFlash(0x7000, 2048), Bytes(2048, 0x11));
    EXPECT_EQ(sim.ReadFlash(0x7800, 2048), Bytes(page.begin() + 2048, page.end()));

    sim.AddFault(SimFaultRule::Command(0xE6, SimFault::Busy).Times(1));
    EXPECT_EQ(WriteFlashPages(link, record), code::kBusy);
    EXPECT_EQ(record.Message, "Busy ...\r\nTx: E6<007000><0400> +<1024>\r\nNumBlocco: 0");
    sim.AddFault(SimFaultRule::Command(0xE6, SimFault::Silence).Times(1));
    EXPECT_EQ(WriteFlashPages(link, record), code::kNoFrame);
    EXPECT_EQ(record.Message, "Serial error");
}

// ------------------------------------------------------------------ Wi-Fi

TEST_F(SimCommandTest, WifiWriteValuesAndSwitchTheModule)
{
    std::string message;
    EXPECT_EQ(WifiWriteValues(link, 7, {1, 2, 300}, message), code::kOk);
    EXPECT_EQ(message, "OK");
    ASSERT_NE(sim.WifiRegister(7), nullptr);
    EXPECT_EQ(*sim.WifiRegister(7), (Bytes{1, 2, 44}));
    sim.AddFault(SimFaultRule::Command('0', SimFault::Nak).Times(1));
    EXPECT_EQ(WifiWriteValues(link, 7, {1}, message), code::kNoFrame);
    EXPECT_EQ(message, "NO EOT");
    sim.AddFault(SimFaultRule::Command('0', SimFault::NotOk).Times(1));
    EXPECT_EQ(WifiWriteValues(link, 7, {1}, message), code::kNotOk);
    EXPECT_EQ(message, "NO OK !!");
    EXPECT_EQ(WifiWriteValues(link, 7, std::vector<int>(50, 0), message), code::kRefused);

    // Switching the module on waits up to 6 s for it; switching off has the ordinary 1.0 s.
    const auto command = [&](int sub, int result, const std::string& text, double elapsed) {
        Restart();
        EXPECT_EQ(WifiCommand(link, sub, message), result) << elapsed;
        EXPECT_EQ(message, text);
        EXPECT_NEAR(Elapsed(), elapsed, kEps);
    };
    command(0, code::kOk, "OK", FirstByte());
    EXPECT_FALSE(sim.WifiModuleOn());
    command(1, code::kOk, "OK", FirstByte() + 2.0);
    EXPECT_TRUE(sim.WifiModuleOn());
    EXPECT_EQ(sim.Requests(), (std::vector<Bytes>{{'0', 7, 1, 2, 44}, {'0', 7, 1}, {'0', 7, 1}, {'2', 0}, {'2', 1}}));
    sim.SetWifiSwitchOnDelay(5.9);
    command(1, code::kOk, "OK", FirstByte() + 5.9);
    sim.SetWifiSwitchOnDelay(6.5);
    command(1, code::kNoFrame, " NO EOT", FirstByte() + 6.0);
    link.CloseSeriale();  // drops the late answer, or it would end the next exchange early
    ASSERT_EQ(link.InitSeriale(1, "115200"), code::kOk);
    sim.AddFault(SimFaultRule::Command('2', SimFault::SlowFrame).Delay(1.2).Times(1));
    command(0, code::kNoFrame, " NO EOT", FirstByte() + 1.0);
}

// ------------------------------------------------------------------ line rate and ports

TEST_F(SimCommandTest, PacedTransfersTakeTheirLineTime)
{
    sim.SetAnswerDelay(0.0);
    port.SetPacing(true);
    FlashPageRecord record;
    record.FirstPage = record.LastPage = 0;
    // Each block: an 11-byte request, then the 1031-byte answer, 10 bits a byte.
    Restart();
    EXPECT_EQ(ReadFlashPages(link, record), code::kOk);
    EXPECT_NEAR(Elapsed(), 4 * (11 + 1031) * 10.0 / 115200, kEps);
    EXPECT_EQ(Bytes(record.Data.begin(), record.Data.begin() + 4096), FlashPatternBytes(0, 4096));

    ASSERT_EQ(link.InitSeriale(1, "57600"), code::kOk);
    Restart();
    InstrumentInfo info;
    EXPECT_EQ(ReadInstrumentInfo(link, info), code::kOk);
    EXPECT_NEAR(Elapsed(), (6 + 36) * 10.0 / 57600, kEps);
}

TEST_F(SimCommandTest, MissingAndBusyPorts)
{
    link.CloseSeriale();
    EXPECT_EQ(link.InitSeriale(4, "115200"), code::kPortMissing);
    port.SetExistingPorts({1, 4});
    port.SetBusy(4, true);
    EXPECT_EQ(link.InitSeriale(4, "115200"), code::kRefused);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].title, "Error");
    EXPECT_EQ(dialogs.messages[0].text, "Error: COM4  (1) No such file or directory\r\nSerial port not available");
    EXPECT_EQ(dialogs.messages[1].title, "Routine <InitSeriale>");
    EXPECT_EQ(dialogs.messages[1].text, "Error :2\r\nPermission denied");
    EXPECT_FALSE(link.TryOpenPort(4));
    port.SetBusy(4, false);
    EXPECT_TRUE(link.TryOpenPort(4));
    EXPECT_FALSE(port.IsOpen());
}
