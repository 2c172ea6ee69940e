// The command routines of the link against the simulated instrument, in virtual time.
#include <gtest/gtest.h>

#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "link/Frames.h"
#include "sim/SimPort.h"
#include "sim/VirtualHost.h"
#include "support/ScriptedDialogs.h"

namespace {

constexpr double kEps = 1e-9;

class SimCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(link.InitSeriale(1, "115200"), code::kOk);
        start = host.Now();
    }

    double Elapsed() const { return host.Now() - start; }
    void Restart() { start = host.Now(); }
    // From a request to the first byte of its answer, without pacing.
    double FirstByte() const { return SimPort::kDefaultLatencyS + sim.AnswerDelay(); }

    // What an instrument with these faults answers, as the PC receives it.
    static Bytes AnswerWith(const Bytes& payload, const std::vector<SimFaultRule>& rules)
    {
        SimInstrument twin;
        for (const auto& rule : rules)
            twin.AddFault(rule);
        Bytes all;
        for (const auto& r : twin.Receive(BuildFrame(payload)))
            all.insert(all.end(), r.bytes.begin(), r.bytes.end());
        return all;
    }

    VirtualHost host;
    SimInstrument sim;
    SimPort port{sim, host};
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    double start = 0.0;
};

Bytes FlashBlockRead(std::uint32_t address)
{
    return {0xE5, static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8), 0x00, 0x04, 0x00};
}

}  // namespace

// ------------------------------------------------------------------ identification

TEST_F(SimCommandTest, IdentificationSucceeds)
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
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SimCommandTest, IdentificationWithoutAnswerFrame)
{
    InstrumentInfo info;
    // Silent: the ACK wait of 0.4 s and nothing more.
    sim.AddFault(SimFaultRule::Command('I', SimFault::Silence).Times(1));
    EXPECT_EQ(ReadInstrumentInfo(link, info), code::kNoFrame);
    EXPECT_EQ(info.Message, "Serial error");
    EXPECT_NEAR(Elapsed(), 0.4, kEps);

    // NAK: no frame is awaited.
    Restart();
    sim.AddFault(SimFaultRule::Command('I', SimFault::Nak).Times(1));
    EXPECT_EQ(ReadInstrumentInfo(link, info), code::kNoFrame);
    EXPECT_EQ(info.Message, "Rx: 15");
    EXPECT_NEAR(Elapsed(), FirstByte(), kEps);

    // ACK and no frame: the ACK wait ends at the ACK, then the 1.0 s answer wait.
    Restart();
    sim.AddFault(SimFaultRule::Command('I', SimFault::Truncated).Length(1).Times(1));
    EXPECT_EQ(ReadInstrumentInfo(link, info), code::kNoFrame);
    EXPECT_EQ(info.Message, "Rx: 06");
    EXPECT_NEAR(Elapsed(), FirstByte() + 1.0, kEps);

    // Half a frame, or a frame whose EOT got lost: the bytes are shown.
    for (const SimFault fault : {SimFault::Truncated, SimFault::MissingEot}) {
        Restart();
        const auto rule = SimFaultRule::Command('I', fault).Times(1);
        sim.AddFault(rule);
        EXPECT_EQ(ReadInstrumentInfo(link, info), code::kNoFrame);
        EXPECT_EQ(info.Message, "Rx: " + BytesToHex(AnswerWith({'I'}, {rule})));
        EXPECT_NEAR(Elapsed(), FirstByte() + 1.0, kEps);
    }
    EXPECT_EQ(sim.Requests().size(), 5u);
}

TEST_F(SimCommandTest, IdentificationRefusedOrGarbled)
{
    InstrumentInfo info;
    sim.AddFault(SimFaultRule::Command('I', SimFault::Busy).Times(1));
    EXPECT_EQ(ReadInstrumentInfo(link, info), code::kBusy);
    EXPECT_EQ(info.Message, "Busy ...");
    sim.AddFault(SimFaultRule::Command('I', SimFault::NotOk).Times(1));
    EXPECT_EQ(ReadInstrumentInfo(link, info), code::kNotOk);
    EXPECT_EQ(info.Message, "NO OK !!");

    // Two stray bytes before the ACK shift every field by two.
    sim.AddFault(SimFaultRule::Command('I', SimFault::GarbageBeforeAck).Times(1));
    EXPECT_EQ(ReadInstrumentInfo(link, info), code::kOk);
    EXPECT_EQ(info.Name, "\x01\"VRTA70");
    EXPECT_EQ(info.SerialNumber, "8 000012");
    EXPECT_EQ(link.Rx.RxCount, 38);

    EXPECT_EQ(ReadInstrumentInfo(link, info), code::kOk);
    EXPECT_EQ(info.Name, "VRTA708");
}

TEST_F(SimCommandTest, FloodIsReportedOnceAndNothingBreaks)
{
    const auto rule = SimFaultRule::Command('I', SimFault::OverLong).Times(1);
    sim.AddFault(rule);
    InstrumentInfo info;
    EXPECT_EQ(ReadInstrumentInfo(link, info), code::kNoFrame);
    const Bytes flood = AnswerWith({'I'}, {rule});
    ASSERT_EQ(flood.size(), 5100u);
    const std::string stored = BytesToHex(Bytes(flood.begin(), flood.begin() + 5001));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(dialogs.messages[0].title, "Errore Rx dato (OnComm)");
    EXPECT_EQ(dialogs.messages[0].text, std::string("Errore Rx dato (OnComm)\r\n") + stored);
    EXPECT_EQ(link.Rx.RxCount, 5001);
    EXPECT_EQ(info.Message, "Rx: " + stored);
    EXPECT_NEAR(Elapsed(), FirstByte() + 1.0, kEps);

    // The next exchange starts clean.
    EXPECT_EQ(ReadInstrumentInfo(link, info), code::kOk);
    EXPECT_EQ(info.Name, "VRTA708");
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

// ------------------------------------------------------------------ parameters commit

TEST_F(SimCommandTest, CommitParamsAnswers)
{
    std::string message;
    EXPECT_EQ(CommitParams(link, message), code::kOk);
    EXPECT_EQ(message, "OK");
    EXPECT_EQ(sim.Commits(), 1);
    EXPECT_EQ(port.Writes().back(), BuildFrame({'r'}));

    struct Case {
        SimFault fault;
        int code;
        std::string message;
    };
    const std::vector<Case> cases{
        {SimFault::Busy, code::kBusy, "Busy ..."},
        {SimFault::NotOk, code::kNotOk, "NO OK !!"},
        {SimFault::Nak, code::kMalformed, "Error (Rx: 15)"},
        {SimFault::Silence, code::kMalformed, "Error (Rx: )"},
        {SimFault::GarbageBeforeAck, code::kMalformed,
         "Error (Rx: " + BytesToHex(AnswerWith({'r'}, {SimFaultRule::Any(SimFault::GarbageBeforeAck)})) + ")"},
    };
    for (const auto& c : cases) {
        sim.AddFault(SimFaultRule::Command('r', c.fault).Times(1));
        EXPECT_EQ(CommitParams(link, message), c.code) << static_cast<int>(c.fault);
        EXPECT_EQ(message, c.message);
    }
    EXPECT_EQ(sim.Commits(), 2);  // garbage spoils only the answer

    // Status '3' reads "No Valid block" and still counts as done.
    sim.AddFault(SimFaultRule::Command('r', SimFault::Scripted).Times(1).WithBytes(
        [] { Bytes b{0x06}; const Bytes f = BuildShortFrame({'3'}); b.insert(b.end(), f.begin(), f.end()); return b; }()));
    EXPECT_EQ(CommitParams(link, message), code::kOk);
    EXPECT_EQ(message, "No Valid block");
}

TEST_F(SimCommandTest, LateAnswerIsLostWhenThePortIsReopened)
{
    std::string message;
    // The first answer comes 0.8 s late, in the middle of the next exchange's answer wait.
    sim.AddFault(SimFaultRule::Command('r', SimFault::Slow).Delay(0.8).Times(1));
    EXPECT_EQ(CommitParams(link, message), code::kMalformed);
    EXPECT_NEAR(Elapsed(), 0.4, kEps);
    link.CloseSeriale();
    ASSERT_EQ(link.InitSeriale(1, "115200"), code::kOk);
    sim.AddFault(SimFaultRule::Command('r', SimFault::SlowFrame).Delay(0.3).Times(1));
    EXPECT_EQ(CommitParams(link, message), code::kOk);
    EXPECT_EQ(link.Rx.RxCount, 7);  // its own answer, nothing left over
    EXPECT_NEAR(Elapsed(), 0.4 + 0.25 + FirstByte() + 0.3, kEps);
    EXPECT_EQ(sim.Commits(), 2);
}

TEST_F(SimCommandTest, AckWaitEndsAtTheAck)
{
    std::string message;
    // A frame 0.9 s after the ACK is in time: the 0.4 s ACK wait is not added on top.
    sim.AddFault(SimFaultRule::Command('r', SimFault::SlowFrame).Delay(0.9).Times(1));
    EXPECT_EQ(CommitParams(link, message), code::kOk);
    EXPECT_NEAR(Elapsed(), FirstByte() + 0.9, kEps);

    // An ACK just inside its 0.4 s is taken.
    Restart();
    sim.AddFault(SimFaultRule::Command('r', SimFault::Slow).Delay(0.39).Times(1));
    EXPECT_EQ(CommitParams(link, message), code::kOk);
    EXPECT_NEAR(Elapsed(), 0.39 + FirstByte(), kEps);
}

// ------------------------------------------------------------------ EEPROM

TEST_F(SimCommandTest, ReadEepromBlock)
{
    Bytes data;
    std::string message;
    EXPECT_EQ(ReadEepromBlock(link, 1900, data, message), code::kOk);
    ASSERT_EQ(data.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(data[static_cast<std::size_t>(i)], SimInstrument::EepromPattern(1900 + i));
    EXPECT_EQ(sim.Requests(), (std::vector<Bytes>{{'e', 'd', 0x00, 0x07, 0x6C, 0x00}}));
    EXPECT_EQ(message, "");

    EXPECT_EQ(ReadEepromBlock(link, -1, data, message), code::kRefused);
    EXPECT_EQ(sim.Requests().size(), 1u);

    sim.AddFault(SimFaultRule::EepromBlock(100, SimFault::Silence).Times(1));
    EXPECT_EQ(ReadEepromBlock(link, 100, data, message), code::kNoFrame);
    EXPECT_EQ(message, "");
}

TEST_F(SimCommandTest, EepromAnswerOfTheWrongLength)
{
    Bytes data;
    std::string message;
    // 107 bytes: a stray byte before the ACK.
    const auto stray = SimFaultRule::EepromBlock(5, SimFault::GarbageBeforeAck).WithBytes({0xFF}).Times(1);
    sim.AddFault(stray);
    EXPECT_EQ(ReadEepromBlock(link, 5, data, message), code::kNoFrame);
    EXPECT_EQ(link.Rx.RxCount, 107);
    EXPECT_EQ(message, "  Rx error at address: 005\r\n  Rx: " + BytesToHex(AnswerWith({'e', 'd', 0, 0, 5, 0}, {stray})));

    // 105 bytes: a frame of 99 data bytes.
    Bytes shortAnswer{ctl::ACK};
    const Bytes frame = BuildShortFrame(Bytes(99, 0x42));
    shortAnswer.insert(shortAnswer.end(), frame.begin(), frame.end());
    ASSERT_EQ(shortAnswer.size(), 105u);
    sim.AddFault(SimFaultRule::EepromBlock(1200, SimFault::Scripted).WithBytes(shortAnswer).Times(1));
    EXPECT_EQ(ReadEepromBlock(link, 1200, data, message), code::kNoFrame);
    EXPECT_EQ(message, "  Rx error at address: 1200\r\n  Rx: " + BytesToHex(shortAnswer));

    // A refusal is a complete frame of the wrong length too.
    sim.AddFault(SimFaultRule::EepromBlock(0, SimFault::Busy).Times(1));
    EXPECT_EQ(ReadEepromBlock(link, 0, data, message), code::kNoFrame);
    EXPECT_EQ(message, "  Rx error at address: 000\r\n  Rx: 06010532BE0A04");
}

TEST_F(SimCommandTest, WriteEepromBlock)
{
    std::string message;
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

    // 147 bytes are refused before anything is sent.
    const std::size_t writes = port.Writes().size();
    EXPECT_EQ(WriteEepromBlock(link, 0, Bytes(147, 0), message), code::kRefused);
    EXPECT_EQ(port.Writes().size(), writes);
    EXPECT_EQ(WriteEepromBlock(link, 0, Bytes(146, 0), message), code::kOk);
}

// ------------------------------------------------------------------ flash

TEST_F(SimCommandTest, ReadFlashPagesReadsFourBlocksAPage)
{
    FlashPageRecord record;
    record.FirstPage = 3;
    record.LastPage = 3;
    EXPECT_EQ(ReadFlashPages(link, record), code::kOk);
    EXPECT_EQ(sim.Requests(), (std::vector<Bytes>{FlashBlockRead(0x3000), FlashBlockRead(0x3400),
                                                  FlashBlockRead(0x3800), FlashBlockRead(0x3C00)}));
    ASSERT_EQ(record.Count, 4096);
    const Bytes expected = sim.ReadFlash(0x3000, 4096);
    EXPECT_EQ(Bytes(record.Data.begin(), record.Data.begin() + 4096), expected);
    EXPECT_EQ(record.Text, BytesToText(expected, 0, 4096));
    EXPECT_NEAR(Elapsed(), 4 * FirstByte(), kEps);

    sim.ClearRecord();
    record.FirstPage = record.LastPage = 2047;
    EXPECT_EQ(ReadFlashPages(link, record), code::kOk);
    EXPECT_EQ(sim.Requests().back(), FlashBlockRead(0x7FFC00));
}

TEST_F(SimCommandTest, ReadFlashPagesFailures)
{
    FlashPageRecord record;
    record.FirstPage = 3;
    record.LastPage = 2;
    EXPECT_EQ(ReadFlashPages(link, record), code::kRefused);
    EXPECT_EQ(record.Message, "3 bigger then 2");
    EXPECT_TRUE(port.Writes().empty());
    EXPECT_TRUE(sim.Requests().empty());

    // A refusal answer is a complete but short frame: 25 after the first block.
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

TEST_F(SimCommandTest, WriteFlashPagesWritesFourLongFrames)
{
    FlashPageRecord record;
    record.FirstPage = record.LastPage = 7;
    record.Count = 4096;
    for (std::size_t i = 0; i < 4096; ++i)
        record.Data[i] = static_cast<std::uint8_t>(i * 5 + 3);
    EXPECT_EQ(WriteFlashPages(link, record), code::kOk);
    EXPECT_EQ(sim.ReadFlash(7 * 4096, 4096), Bytes(record.Data.begin(), record.Data.begin() + 4096));
    ASSERT_EQ(sim.Requests().size(), 4u);
    for (std::size_t b = 0; b < 4; ++b) {
        const std::uint32_t address = 0x7000 + static_cast<std::uint32_t>(b) * 1024;
        Bytes payload{0xE6, 0x00, static_cast<std::uint8_t>(address >> 8), 0x00, 0x04, 0x00};
        payload.insert(payload.end(), record.Data.begin() + static_cast<std::ptrdiff_t>(b * 1024),
                       record.Data.begin() + static_cast<std::ptrdiff_t>(b * 1024 + 1024));
        EXPECT_EQ(sim.Requests()[b], payload) << b;
    }
    const Bytes& first = port.Writes()[0];
    ASSERT_EQ(first.size(), 1036u);
    EXPECT_EQ((Bytes{first[0], first[1], first[2]}), (Bytes{0x02, 0x04, 0x0B}));  // LEN 1035
}

TEST_F(SimCommandTest, WriteFlashPagesFailures)
{
    FlashPageRecord record;
    record.FirstPage = record.LastPage = 7;
    record.Count = 4096;
    record.Data.assign(kFlashDataArea, 0x11);

    sim.AddFault(SimFaultRule::Command(0xE6, SimFault::NotOk).After(2).Times(1));
    EXPECT_EQ(WriteFlashPages(link, record), code::kNotOk);
    EXPECT_EQ(record.Message, "NO OK !!\r\nTx: E6<007800><0400> +<1024>\r\nNumBlocco: 2");
    EXPECT_EQ(sim.Requests().size(), 3u);  // the fourth block is never sent
    EXPECT_EQ(sim.ReadFlash(0x7000, 2048), Bytes(2048, 0x11));
    EXPECT_EQ(sim.ReadFlash(0x7800, 1), Bytes{SimInstrument::FlashPattern(0x7800)});

    sim.AddFault(SimFaultRule::Command(0xE6, SimFault::Busy).Times(1));
    EXPECT_EQ(WriteFlashPages(link, record), code::kBusy);
    EXPECT_EQ(record.Message, "Busy ...\r\nTx: E6<007000><0400> +<1024>\r\nNumBlocco: 0");

    sim.AddFault(SimFaultRule::Command(0xE6, SimFault::Silence).Times(1));
    EXPECT_EQ(WriteFlashPages(link, record), code::kNoFrame);
    EXPECT_EQ(record.Message, "Serial error");

    sim.ClearRecord();
    record.FirstPage = 3;
    record.LastPage = 2;
    EXPECT_EQ(WriteFlashPages(link, record), code::kRefused);
    EXPECT_EQ(record.Message, "3 bigger then 2");
    EXPECT_TRUE(sim.Requests().empty());
}

// ------------------------------------------------------------------ Wi-Fi

TEST_F(SimCommandTest, WifiWriteValues)
{
    std::string message;
    EXPECT_EQ(WifiWriteValues(link, 7, {1, 2, 300}, message), code::kOk);
    EXPECT_EQ(message, "OK");
    EXPECT_EQ(sim.Requests(), (std::vector<Bytes>{{'0', 7, 1, 2, 44}}));
    ASSERT_NE(sim.WifiRegister(7), nullptr);
    EXPECT_EQ(*sim.WifiRegister(7), (Bytes{1, 2, 44}));

    sim.AddFault(SimFaultRule::Command('0', SimFault::Nak).Times(1));
    EXPECT_EQ(WifiWriteValues(link, 7, {1}, message), code::kNoFrame);
    EXPECT_EQ(message, "NO EOT");
    sim.AddFault(SimFaultRule::Command('0', SimFault::NotOk).Times(1));
    EXPECT_EQ(WifiWriteValues(link, 7, {1}, message), code::kNotOk);
    EXPECT_EQ(message, "NO OK !!");
    EXPECT_EQ(WifiWriteValues(link, 7, std::vector<int>(50, 0), message), code::kRefused);
    EXPECT_EQ(sim.Requests().size(), 3u);
}

TEST_F(SimCommandTest, WifiCommandWaitsUpToSixSecondsForTheModule)
{
    std::string message;
    EXPECT_EQ(WifiCommand(link, 0, message), code::kOk);
    EXPECT_FALSE(sim.WifiModuleOn());
    EXPECT_NEAR(Elapsed(), FirstByte(), kEps);

    Restart();
    EXPECT_EQ(WifiCommand(link, 1, message), code::kOk);
    EXPECT_EQ(message, "OK");
    EXPECT_TRUE(sim.WifiModuleOn());
    EXPECT_NEAR(Elapsed(), FirstByte() + 2.0, kEps);
    EXPECT_EQ(sim.Requests(), (std::vector<Bytes>{{'2', 0}, {'2', 1}}));

    Restart();
    sim.SetWifiSwitchOnDelay(5.9);
    EXPECT_EQ(WifiCommand(link, 1, message), code::kOk);
    EXPECT_NEAR(Elapsed(), FirstByte() + 5.9, kEps);

    Restart();
    sim.SetWifiSwitchOnDelay(6.5);
    EXPECT_EQ(WifiCommand(link, 1, message), code::kNoFrame);
    EXPECT_EQ(message, " NO EOT");
    EXPECT_NEAR(Elapsed(), FirstByte() + 6.0, kEps);

    // Switching off has the ordinary 1.0 s.
    link.CloseSeriale();
    ASSERT_EQ(link.InitSeriale(1, "115200"), code::kOk);
    Restart();
    sim.AddFault(SimFaultRule::Command('2', SimFault::SlowFrame).Delay(1.2).Times(1));
    EXPECT_EQ(WifiCommand(link, 0, message), code::kNoFrame);
    EXPECT_NEAR(Elapsed(), FirstByte() + 1.0, kEps);
}

// ------------------------------------------------------------------ line rate

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
    EXPECT_EQ(Bytes(record.Data.begin(), record.Data.begin() + 4096), sim.ReadFlash(0, 4096));

    ASSERT_EQ(link.OpenWithSettings(1, "115200,E,8,1"), code::kOk);
    Restart();
    EXPECT_EQ(ReadFlashPages(link, record), code::kOk);
    EXPECT_NEAR(Elapsed(), 4 * (11 + 1031) * 11.0 / 115200, kEps);

    ASSERT_EQ(link.InitSeriale(1, "57600"), code::kOk);
    Restart();
    InstrumentInfo info;
    EXPECT_EQ(ReadInstrumentInfo(link, info), code::kOk);
    EXPECT_NEAR(Elapsed(), (6 + 36) * 10.0 / 57600, kEps);
}

// ------------------------------------------------------------------ opening the port

TEST_F(SimCommandTest, MissingAndBusyPorts)
{
    link.CloseSeriale();
    EXPECT_EQ(link.InitSeriale(4, "115200"), code::kPortMissing);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Error");
    EXPECT_EQ(dialogs.messages[0].text, "Error: COM4  (1) No such file or directory\r\nSerial port not available");

    port.SetExistingPorts({1, 4});
    port.SetBusy(4, true);
    EXPECT_EQ(link.InitSeriale(4, "115200"), code::kRefused);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].title, "Routine <InitSeriale>");
    EXPECT_EQ(dialogs.messages[1].text, "Error :2\r\nPermission denied");
    EXPECT_FALSE(link.TryOpenPort(4));
    EXPECT_TRUE(link.TryOpenPort(1));
    EXPECT_FALSE(port.IsOpen());
}
