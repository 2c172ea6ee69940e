// The bootloader client against a scripted far end in virtual time: the bytes of every frame, the
// judgement of every reply pattern with what it costs, and the step routines' log texts.
#include <gtest/gtest.h>

#include <deque>
#include <utility>
#include <vector>

#include "firmware/BootClient.h"
#include "firmware/TextUploadView.h"
#include "sim/VirtualHost.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedPort.h"

namespace {

using Answer = std::vector<std::pair<double, Bytes>>;  // bytes arriving this long after a write

// A port whose far end answers each write with the next scripted answer (none: silence).
struct BootRig {
    ScriptedPort port;
    VirtualHost host;
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    BootClient client{link};
    TextUploadView log;
    std::deque<Answer> answers;

    BootRig()
    {
        port.onWrite = [this](const Bytes&) {
            if (answers.empty())
                return;
            for (const auto& [delay, bytes] : answers.front())
                host.CallAfter(delay, [this, b = bytes] { port.Arrive(b); });
            answers.pop_front();
        };
        link.Boot.LogBox = &log;
        client.SetupBootPort("57600");
        client.OpenBootPort();
    }
    std::string Written(std::size_t i) const { return i < port.written.size() ? BytesToHex(port.written[i]) : "-"; }
};

struct FrameCase {
    const char* name;
    std::int16_t kind;
    std::uint8_t cmd;
    std::array<std::uint8_t, 4> arg;
    const char* bytes;
    bool ackCheck;
    int ackCount;
    float ackWait;
};

}  // namespace

TEST(BootFrames, EveryKindByteForByteWithItsWaits)
{
    const FrameCase cases[] = {
        {"direct sync", 0, 0x7F, {}, "7F", true, 1, 0.9F},
        {"direct Extended Erase", 8, 0x44, {}, "44BB", true, 1, 0.8F},
        {"direct mass-erase code", 9, 0, {0xFF, 0xFF}, "FFFF00", true, 1, 1.0F},
        {"direct Write Memory", 10, 0x31, {}, "31CE", true, 1, 0.5F},
        {"direct Go", 4, 0x21, {}, "21DE", true, 1, 0.5F},
        {"direct address 0x08000000", 5, 0, {0x08, 0x00, 0x00, 0x00}, "0800000008", true, 1, 0.5F},
        {"direct address 0x08000100", 5, 0, {0x08, 0x00, 0x01, 0x00}, "0800010009", true, 1, 0.5F},
        {"direct address of page 0x123", 5, 0, {0x08, 0x01, 0x23, 0x00}, "080123002A", true, 1, 0.5F},
        {"tunnel sync", 20, 0x7F, {}, "0106D17F9F0A04", true, 2, 1.0F},
        {"tunnel Extended Erase", 21, 0x44, {}, "0107D144BB1E0A04", true, 2, 1.0F},
        {"tunnel mass-erase code", 22, 0, {0xFF, 0xFF}, "0108D1FFFF001E0A04", true, 2, 10.0F},
        {"tunnel Write Memory", 23, 0x31, {}, "0107D131CE1E0A04", true, 2, 0.5F},
        {"tunnel address 0x08000100", 28, 0, {0x08, 0x00, 0x01, 0x00}, "010AD10800010009080A04", true, 2, 0.5F},
        {"software reset", 34, 0, {}, "0105D31D0A04", false, 2, 0.1F},
    };
    BootRig rig;
    BootContext& b = rig.link.Boot;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        b.ErrText = "left over";
        b.Tunnel = c.ackCount == 1;  // the opposite of what the frame needs
        rig.link.BootMode = false;
        b.FrameKind = c.kind;
        b.Cmd = c.cmd;
        b.Arg = c.arg;
        rig.client.BuildBootFrame();
        EXPECT_EQ(BytesToHex(b.TxBytes), c.bytes);
        EXPECT_EQ(b.AckCheck, c.ackCheck);
        EXPECT_EQ(b.AckCount, c.ackCount);
        EXPECT_FLOAT_EQ(b.AckWait, c.ackWait);
        EXPECT_EQ(b.Tunnel, c.ackCount == 2);
        EXPECT_EQ(b.AckByte, 0x79);
        EXPECT_EQ(b.ErrText, "");
        EXPECT_TRUE(rig.link.BootMode);
    }
}

namespace {

struct ReplyCase {
    const char* name;
    std::int16_t kind;
    float replyWait;
    Answer answer;
    bool ok;
    const char* errText;
    double cost;  // seconds from the write to the end of the exchange
};

}  // namespace

TEST(BootReply, JudgementOfEveryReplyPatternAndWhatItCosts)
{
    const Bytes ack{0x79};
    const ReplyCase cases[] = {
        {"79", 0, 2.0F, {{0.01, {0x79}}}, true, "", 0.01},
        {"1F", 0, 2.0F, {{0.01, {0x1F}}}, false, kNackText, 0.01 + 0.2},
        {"silence: AckWait + ReplyWait + 0.2 s", 0, 2.0F, {}, false, "", 0.9 + 2.0 + 0.2},
        {"79 00 together", 10, 1.0F, {{0.01, {0x79, 0x00}}}, false, "", 0.01 + 0.2},
        {"79 79 together", 10, 1.0F, {{0.01, {0x79, 0x79}}}, true, "", 0.01},
        {"three bytes, the last two acknowledges", 10, 1.0F, {{0.01, {0x00, 0x79, 0x79}}}, true, "", 0.01},
        {"three bytes with a NACK", 10, 1.0F, {{0.01, {0x79, 0x1F, 0x79}}}, false, kNackText, 0.01 + 0.2},
        {"four bytes: too many (the acknowledge rule ends the second wait)", 10, 1.0F,
         {{0.01, {0x79, 0x79, 0x79, 0x79}}}, false, "", 0.01 + 0.2},
        {"four bytes, no acknowledge pair", 10, 1.0F, {{0.01, {0x00, 0x79, 0x00, 0x00}}}, false, "", 0.01 + 1.0 + 0.2},
        {"acknowledge too late for the first wait", 10, 1.0F, {{0.6, {0x79}}}, false, "", 0.5 + 1.0 + 0.2},
        {"tunnel 06 79", 20, 1.5F, {{0.01, {0x06, 0x79}}}, true, "", 0.01},
        {"tunnel 06 then 79", 20, 1.5F, {{0.01, {0x06}}, {0.3, {0x79}}}, true, "", 0.3},
        {"tunnel 06 1F", 20, 1.5F, {{0.01, {0x06, 0x1F}}}, false, kNackText, 0.01 + 0.2},
        {"tunnel 79 alone", 20, 1.5F, {{0.01, {0x79}}}, false, "", 1.0 + 1.5 + 0.2},
        {"tunnel 06 79 79", 23, 1.0F, {{0.01, {0x06, 0x79, 0x79}}}, true, "", 0.01},
        {"tunnel 06 79 00: the third byte no acknowledge", 23, 1.0F, {{0.01, {0x06, 0x79, 0x00}}}, false, "", 0.01 + 0.2},
        {"tunnel 06 79 1F", 23, 1.0F, {{0.01, {0x06, 0x79, 0x1F}}}, false, kNackText, 0.01 + 0.2},
        {"tunnel NAK 15", 23, 1.0F, {{0.01, {0x15}}}, false, "", 0.5 + 1.0 + 0.2},
        {"tunnel erase code acknowledged after 8 s", 22, 1.0F, {{0.01, {0x06}}, {8.0, {0x79}}}, true, "", 8.0},
        {"tunnel erase code acknowledged after 10.5 s", 22, 1.0F, {{0.01, {0x06}}, {10.5, {0x79}}}, false, "",
         10.0 + 1.0 + 0.2},
        {"direct erase code acknowledged after 1.5 s", 9, 1.0F, {{1.5, {0x79}}}, false, "", 1.0 + 1.0 + 0.2},
        {"direct erase code acknowledged after 0.9 s", 9, 1.0F, {{0.9, {0x79}}}, true, "", 0.9},
        {"reset answered 06 79", 34, 0.5F, {{0.01, {0x06, 0x79}}}, true, "", 0.01 + 0.5},
        {"reset not answered", 34, 0.5F, {}, false, "", 0.1 + 0.2},
        {"reset answered 06 1F", 34, 0.5F, {{0.01, {0x06, 0x1F}}}, false, kNackText, 0.01 + 0.2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BootRig rig;
        rig.answers.push_back(c.answer);
        BootContext& b = rig.link.Boot;
        b.ReplyWait = c.replyWait;
        b.FrameKind = c.kind;
        b.Cmd = 0x7F;
        b.Arg = {0xFF, 0xFF, 0, 0};
        rig.client.BuildBootFrame();
        const double start = rig.host.Now();
        rig.client.BootExchange();
        EXPECT_EQ(!rig.link.BootError, c.ok);
        EXPECT_EQ(b.ErrText, c.errText);
        EXPECT_NEAR(rig.host.Now() - start, c.cost, 1e-6);
    }
}

namespace {

struct StepCase {
    const char* name;
    bool (BootClient::*step)();
    std::vector<Answer> answers;
    bool ok;
    const char* log;
    std::vector<const char*> written;
};

}  // namespace

// The steps' texts where they fail in ways a whole run does not show (their successes and the
// failures a run ends with: SingleBoard and Package flow tests).
TEST(BootSteps, LogTextsAndFramesOfEveryStep)
{
    const Answer ack{{0.01, {0x79}}};
    const Answer nack{{0.01, {0x1F}}};
    const Answer tunnelAck{{0.01, {0x06, 0x79}}};
    const Answer tunnelNack{{0.01, {0x06, 0x1F}}};
    const StepCase cases[] = {
        {"sync NACK", &BootClient::BootSync, {nack}, false, " Baudrate detection : error\r\n Rx(3): 1F0000", {"7F"}},
        {"mass erase refused", &BootClient::BootMassErase, {nack}, false,
         " ERASE command      : error\r\n Rx(3): 1F0000", {"44BB"}},
        {"go address refused", &BootClient::BootGo, {ack, nack}, false, " Run command        : error !\r\n",
         {"21DE", "0800000008"}},
        {"tunnel sync silent", &BootClient::TunnelSync, {}, false, " Baudrate detection : \r\n", {"0106D17F9F0A04"}},
        {"tunnel mass erase refused", &BootClient::TunnelMassErase, {tunnelNack}, false,
         " MASS ERASE cmd     : \r\n", {"0107D144BB1E0A04"}},
        {"tunnel mass erase code refused", &BootClient::TunnelMassErase, {tunnelAck, tunnelNack}, false,
         " MASS ERASE cmd     : OK\r\n MASS ERASE code    : \r\n", {"0107D144BB1E0A04", "0108D1FFFF001E0A04"}},
        {"reset unanswered still reports OK", &BootClient::TunnelReset, {}, true, " Reset SW Command: OK \r\n",
         {"0105D31D0A04"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BootRig rig;
        rig.answers.assign(c.answers.begin(), c.answers.end());
        rig.log.log = "before";
        EXPECT_EQ((rig.client.*c.step)(), c.ok);
        EXPECT_EQ(rig.log.log, std::string("before") + c.log);
        ASSERT_EQ(rig.port.written.size(), c.written.size());
        for (std::size_t i = 0; i < c.written.size(); ++i)
            EXPECT_EQ(rig.Written(i), c.written[i]);
    }
}

TEST(BootPort, DirectRoutePortWithEvenParityAndItsPauses)
{
    ScriptedPort port;
    VirtualHost host;
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    BootClient client{link};
    link.CommPortNumber = 3;
    port.existing = {3};
    ASSERT_EQ(link.InitSeriale(3, "115200"), 0);
    const double start = host.Now();
    client.SetupBootPort("57600");
    EXPECT_FALSE(port.IsOpen()) << "the open port is closed first";
    EXPECT_NEAR(host.Now() - start, 0.05, 1e-9);
    EXPECT_TRUE(client.OpenBootPort());
    EXPECT_NEAR(host.Now() - start, 0.2, 1e-9);
    EXPECT_EQ(port.opens.back(), "57600,E,8,1");
    EXPECT_EQ(port.PortNumber(), 3);
    client.CloseBootPort();
    EXPECT_FALSE(port.IsOpen());

    link.CommPortNumber = 4;  // no such port
    client.SetupBootPort("115200");
    EXPECT_FALSE(client.OpenBootPort());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Error");
    EXPECT_NE(dialogs.messages[0].text.find("COM4"), std::string::npos);
}
