// The bootloader client's commands on both routes against a scripted far end in virtual time: the
// bytes of every frame, the judgement of every reply pattern and silence with what it costs, and
// the commands' log texts.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "firmware/BootClient.h"
#include "sim/VirtualHost.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedPort.h"

namespace {

using Arrivals = std::vector<std::pair<double, Bytes>>;  // bytes arriving this long after a write
using Command = std::function<BootError(BootClient&)>;

const Arrivals kAck{{0.01, {0x79}}};
const Arrivals kNack{{0.01, {0x1F}}};
const Arrivals kTunnelAck{{0.01, {0x06, 0x79}}};
const Arrivals kTunnelNack{{0.01, {0x06, 0x1F}}};

const Bytes kFullPage(256, 0xFF);
const Bytes kThreeBytes{0x01, 0x02, 0x03};

BootError Sync(BootClient& c) { return c.Sync(); }
BootError Erase(BootClient& c) { return c.Erase(); }
BootError Reset(BootClient& c) { return c.Reset(); }
BootError GoToFlash(BootClient& c) { return c.Go(boot::kFlashStart); }
Command Write(std::uint32_t address, const Bytes& data)
{
    return [address, data](BootClient& c) { return c.Write(address, data); };
}
// Read Memory into `read` (or into nothing kept).
Command Read(std::uint32_t address, std::size_t count, Bytes* read = nullptr)
{
    return [address, count, read](BootClient& c) {
        Bytes into;
        const BootError error = c.Read(address, count, into);
        if (read)
            *read = into;
        return error;
    };
}

// A port whose far end answers each write with the next scripted answer (none: silence), on a
// direct-route port opened at 57600.
struct BootRig {
    ScriptedPort port;
    VirtualHost host;
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    RecordingSink log;
    BootClient client;
    std::deque<Arrivals> answers;
    std::vector<double> writtenAt;

    explicit BootRig(BootRoute route = BootRoute::Direct) : client(link, log, route)
    {
        port.onWrite = [this](const Bytes&) {
            writtenAt.push_back(host.Now());
            if (answers.empty())
                return;
            for (const auto& [delay, bytes] : answers.front())
                host.CallAfter(delay, [this, b = bytes] { port.Arrive(b); });
            answers.pop_front();
        };
        client.SetupBootPort("57600");
        client.OpenBootPort();
    }
    std::vector<std::string> Written() const
    {
        std::vector<std::string> frames;
        for (const Bytes& frame : port.written)
            frames.push_back(BytesToHex(frame));
        return frames;
    }
    // Runs the command; the seconds from its last frame written to its end.
    double RunTimed(const Command& command, BootError& error)
    {
        error = command(client);
        return writtenAt.empty() ? -1.0 : host.Now() - writtenAt.back();
    }
};

}  // namespace

TEST(BootCommands, EveryFrameByteForByteOnBothRoutes)
{
    const struct {
        const char* name;
        BootRoute route;
        Command command;
        std::vector<std::string> frames;
    } cases[] = {
        {"direct sync", BootRoute::Direct, Sync, {"7F"}},
        {"direct mass erase", BootRoute::Direct, Erase, {"44BB", "FFFF00"}},
        {"direct Go 0x08000000", BootRoute::Direct, GoToFlash, {"21DE", "0800000008"}},
        {"direct write of three bytes at 0x08000100", BootRoute::Direct, Write(0x08000100, kThreeBytes),
         {"31CE", "0800010009", "0201020302"}},
        {"direct write of a page of FF at page 0x123", BootRoute::Direct, Write(0x08012300, kFullPage),
         {"31CE", "080123002A", "FF" + BytesToHex(kFullPage) + "FF"}},
        {"tunnel sync", BootRoute::Tunnel, Sync, {"0106D17F9F0A04"}},
        {"tunnel mass erase", BootRoute::Tunnel, Erase, {"0107D144BB1E0A04", "0108D1FFFF001E0A04"}},
        {"tunnel write of a page of FF at 0x08000100", BootRoute::Tunnel, Write(0x08000100, kFullPage),
         {"0107D131CE1E0A04", "010AD10800010009080A04", "020108D2FF" + BytesToHex(kFullPage) + "FF1B0A04"}},
        {"tunnel software reset", BootRoute::Tunnel, Reset, {"0105D31D0A04"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BootRig rig(c.route);
        rig.answers.assign(c.frames.size(), c.route == BootRoute::Tunnel ? kTunnelAck : kAck);
        EXPECT_EQ(c.command(rig.client), BootError::None);
        EXPECT_EQ(rig.Written(), c.frames);
        EXPECT_TRUE(rig.link.BootMode) << "replies go to the bootloader's area";
    }
}

TEST(BootCommands, WhatARouteDoesNotOfferOrAFrameCannotCarrySendsNothing)
{
    const struct {
        const char* name;
        BootRoute route;
        Command command;
    } cases[] = {
        {"Go through the tunnel", BootRoute::Tunnel, GoToFlash},
        {"a reset on the direct route", BootRoute::Direct, Reset},
        {"a write of nothing", BootRoute::Direct, Write(boot::kFlashStart, {})},
        {"a write of 257 bytes", BootRoute::Tunnel, Write(boot::kFlashStart, Bytes(257, 0x00))},
        {"Read Memory through the tunnel", BootRoute::Tunnel, Read(boot::kFlashStart, 256)},
        {"a read of nothing", BootRoute::Direct, Read(boot::kFlashStart, 0)},
        {"a read of 257 bytes", BootRoute::Direct, Read(boot::kFlashStart, 257)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BootRig rig(c.route);
        EXPECT_EQ(c.command(rig.client), BootError::NotSent);
        EXPECT_TRUE(rig.port.written.empty());
        EXPECT_EQ(rig.log.Text(), "");
    }
}

// Every reply pattern, and a far end silent at each frame in turn: the frame's first wait, its
// second wait and the pause after a failed exchange, and nothing sent after it. (The commands'
// log texts where a whole run shows them: the FirmwareUpload tests.)
TEST(BootReply, JudgementOfEveryReplyPatternAndWhatItCosts)
{
    const auto direct = BootRoute::Direct;
    const auto tunnel = BootRoute::Tunnel;
    const auto writeCommand = Write(boot::kFlashStart, kFullPage);
    // Acknowledged frames, then silence.
    const auto silentAfter = [](std::size_t acknowledged, BootRoute route) {
        std::vector<Arrivals> answers(acknowledged, route == BootRoute::Tunnel ? kTunnelAck : kAck);
        answers.push_back({});
        return answers;
    };
    const auto none = BootError::NoAcknowledge;
    const struct {
        const char* name;
        BootRoute route;
        Command command;
        std::vector<Arrivals> answers;  // one per frame; the pattern is the last frame's
        BootError error;
        double cost;              // seconds from the last frame written to the end of the command
        const char* log = nullptr;  // the command's log, where it fails in ways a whole run does not show
    } cases[] = {
        {"79", direct, Sync, {kAck}, BootError::None, 0.01},
        {"1F", direct, Sync, {kNack}, BootError::Nack, 0.01 + 0.2},
        {"79 00 together", direct, Sync, {{{0.01, {0x79, 0x00}}}}, BootError::NoAcknowledge, 0.01 + 0.2},
        {"79 79 together", direct, Sync, {{{0.01, {0x79, 0x79}}}}, BootError::None, 0.01},
        {"three bytes, the last two acknowledges", direct, Sync, {{{0.01, {0x00, 0x79, 0x79}}}}, BootError::None, 0.01},
        {"three bytes with a NACK", direct, Sync, {{{0.01, {0x79, 0x1F, 0x79}}}}, BootError::Nack, 0.01 + 0.2},
        {"four bytes: too many (the acknowledge rule ends the second wait)", direct, Sync,
         {{{0.01, {0x79, 0x79, 0x79, 0x79}}}}, BootError::NoAcknowledge, 0.01 + 0.2},
        {"four bytes, no acknowledge pair", direct, Sync, {{{0.01, {0x00, 0x79, 0x00, 0x00}}}},
         BootError::NoAcknowledge, 0.01 + 2.0 + 0.2},
        {"acknowledge too late for the first wait", direct, writeCommand, {{{0.6, {0x79}}}}, BootError::NoAcknowledge,
         0.5 + 1.0 + 0.2},
        {"data block answered NACK: no pause", direct, writeCommand, {kAck, kAck, kNack}, BootError::Nack, 0.01},
        {"direct erase code acknowledged after 1.5 s", direct, Erase, {kAck, {{1.5, {0x79}}}}, BootError::NoAcknowledge,
         1.0 + 1.0 + 0.2},
        {"direct erase code acknowledged after 0.9 s", direct, Erase, {kAck, {{0.9, {0x79}}}}, BootError::None, 0.9},
        {"tunnel 06 79", tunnel, Sync, {kTunnelAck}, BootError::None, 0.01},
        {"tunnel 06 then 79", tunnel, Sync, {{{0.01, {0x06}}, {0.3, {0x79}}}}, BootError::None, 0.3},
        {"tunnel 06 1F", tunnel, Sync, {kTunnelNack}, BootError::Nack, 0.01 + 0.2},
        {"tunnel 79 alone", tunnel, Sync, {kAck}, BootError::NoAcknowledge, 1.0 + 1.5 + 0.2},
        {"tunnel 06 79 79", tunnel, Sync, {{{0.01, {0x06, 0x79, 0x79}}}}, BootError::None, 0.01},
        {"tunnel 06 79 00: the third byte no acknowledge", tunnel, Sync, {{{0.01, {0x06, 0x79, 0x00}}}},
         BootError::NoAcknowledge, 0.01 + 0.2},
        {"tunnel 06 79 1F", tunnel, Sync, {{{0.01, {0x06, 0x79, 0x1F}}}}, BootError::Nack, 0.01 + 0.2},
        {"tunnel NAK 15", tunnel, writeCommand, {{{0.01, {0x15}}}}, BootError::NoAcknowledge, 0.5 + 1.0 + 0.2},
        {"tunnel erase code acknowledged after 8 s", tunnel, Erase, {kTunnelAck, {{0.01, {0x06}}, {8.0, {0x79}}}},
         BootError::None, 8.0},
        {"tunnel erase code acknowledged after 10.5 s", tunnel, Erase, {kTunnelAck, {{0.01, {0x06}}, {10.5, {0x79}}}},
         BootError::NoAcknowledge, 10.0 + 1.0 + 0.2},
        {"reset answered 06 79", tunnel, Reset, {kTunnelAck}, BootError::None, 0.01 + 0.5},
        {"reset answered 06 1F", tunnel, Reset, {kTunnelNack}, BootError::Nack, 0.01 + 0.2},
        {"direct sync silent", direct, Sync, silentAfter(0, direct), none, 0.9 + 2.0 + 0.2},
        {"direct erase command silent", direct, Erase, silentAfter(0, direct), none, 0.8 + 1.0 + 0.2},
        {"direct erase code silent", direct, Erase, silentAfter(1, direct), none, 1.0 + 1.0 + 0.2},
        {"direct write command silent", direct, writeCommand, silentAfter(0, direct), none, 0.5 + 1.0 + 0.2},
        {"direct write address silent", direct, writeCommand, silentAfter(1, direct), none, 0.5 + 1.0 + 0.2},
        // The address's acknowledge still stands for the second wait, and no pause follows.
        {"direct data block silent", direct, writeCommand, silentAfter(2, direct), none, 0.8},
        {"direct Go command silent", direct, GoToFlash, silentAfter(0, direct), none, 0.5 + 1.0 + 0.2},
        {"direct Go address silent", direct, GoToFlash, silentAfter(1, direct), none, 0.5 + 1.0 + 0.2},
        {"tunnel sync silent", tunnel, Sync, silentAfter(0, tunnel), none, 1.0 + 1.5 + 0.2},
        {"tunnel erase command silent", tunnel, Erase, silentAfter(0, tunnel), none, 1.0 + 1.0 + 0.2},
        {"tunnel erase code silent", tunnel, Erase, silentAfter(1, tunnel), none, 10.0 + 1.0 + 0.2},
        {"tunnel write command silent", tunnel, writeCommand, silentAfter(0, tunnel), none, 0.5 + 1.0 + 0.2},
        {"tunnel write address silent", tunnel, writeCommand, silentAfter(1, tunnel), none, 0.5 + 1.0 + 0.2},
        {"tunnel data block silent", tunnel, writeCommand, silentAfter(2, tunnel), none, 0.8},
        // Nothing at all ends the reset's judgement at its first wait.
        {"tunnel reset silent: its log still says OK", tunnel, Reset, silentAfter(0, tunnel), none, 0.1 + 0.2,
         " Reset SW Command: OK \r\n"},
        {"direct erase command refused", direct, Erase, {kNack}, BootError::Nack, 0.01 + 0.2,
         " ERASE command      : error\r\n Rx(3): 1F0000"},
        {"direct Go address refused", direct, GoToFlash, {kAck, kNack}, BootError::Nack, 0.01 + 0.2,
         " Run command        : error !\r\n"},
        {"tunnel erase command refused", tunnel, Erase, {kTunnelNack}, BootError::Nack, 0.01 + 0.2, " MASS ERASE cmd     : \r\n"},
        {"tunnel write address refused: the caller reports", tunnel, writeCommand, {kTunnelAck, kTunnelNack},
         BootError::Nack, 0.01 + 0.2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BootRig rig(c.route);
        rig.answers.assign(c.answers.begin(), c.answers.end());
        BootError error = BootError::None;
        EXPECT_NEAR(rig.RunTimed(c.command, error), c.cost, 1e-6);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(rig.port.written.size(), c.answers.size());
        if (c.log) {
            EXPECT_EQ(rig.log.Text(), c.log);
        }
    }
}

// Read Memory on the direct route: its three frames, then the answer to its count, which must be
// the acknowledge followed by exactly the bytes asked for; what a short, refused or garbled answer
// costs, and that nothing read is handed on then.
TEST(BootCommands, ReadMemoryTakesTheAcknowledgeAndExactlyTheBytesAsked)
{
    Bytes page(256);
    for (std::size_t i = 0; i < page.size(); ++i)
        page[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const auto answer = [](double delay, std::uint8_t first, const Bytes& bytes) {
        Bytes all{first};
        all.insert(all.end(), bytes.begin(), bytes.end());
        return Arrivals{{delay, all}};
    };
    const Bytes shortPage(page.begin(), page.end() - 1);
    const struct {
        const char* name;
        std::uint32_t address;
        std::size_t count;
        std::vector<Arrivals> answers;
        BootError error;
        Bytes read;
        std::vector<std::string> frames;
        double cost;  // seconds from the last frame written to the end of the command
    } cases[] = {
        {"a page at 0x08000300", 0x08000300, 256, {kAck, kAck, answer(0.01, 0x79, page)}, BootError::None, page,
         {"11EE", "080003000B", "FF00"}, 0.01},
        {"one byte", boot::kFlashStart, 1, {kAck, kAck, {{0.01, {0x79, 0x5A}}}}, BootError::None, {0x5A},
         {"11EE", "0800000008", "00FF"}, 0.01},
        {"the acknowledge, the bytes later", 0x08000300, 256,
         {kAck, kAck, {{0.01, {0x79}}, {0.3, page}}}, BootError::None, page, {"11EE", "080003000B", "FF00"}, 0.3},
        {"one byte short", 0x08000300, 256, {kAck, kAck, answer(0.01, 0x79, shortPage)}, BootError::NoAcknowledge, {},
         {"11EE", "080003000B", "FF00"}, 1.0 + 0.2},
        {"nothing after the count", 0x08000300, 256, {kAck, kAck, {}}, BootError::NoAcknowledge, {},
         {"11EE", "080003000B", "FF00"}, 1.0 + 0.2},
        {"the count refused", 0x08000300, 256, {kAck, kAck, kNack}, BootError::Nack, {},
         {"11EE", "080003000B", "FF00"}, 0.01 + 0.2},
        {"a byte other than the acknowledge first", 0x08000300, 256, {kAck, kAck, answer(0.01, 0x00, page)},
         BootError::NoAcknowledge, {}, {"11EE", "080003000B", "FF00"}, 0.01 + 0.2},
        {"the address refused", 0x08000300, 256, {kAck, kNack}, BootError::Nack, {}, {"11EE", "080003000B"}, 0.01 + 0.2},
        {"the command refused", 0x08000300, 256, {kNack}, BootError::Nack, {}, {"11EE"}, 0.01 + 0.2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BootRig rig;
        rig.answers.assign(c.answers.begin(), c.answers.end());
        Bytes read{0xEE};
        BootError error = BootError::None;
        EXPECT_NEAR(rig.RunTimed(Read(c.address, c.count, &read), error), c.cost, 1e-6);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(read, c.read);
        EXPECT_EQ(rig.Written(), c.frames);
        EXPECT_EQ(rig.log.Text(), "") << "the caller reports";
    }
}

TEST(BootPort, DirectRoutePortWithEvenParityAndItsPauses)
{
    ScriptedPort port;
    VirtualHost host;
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    RecordingSink log;
    BootClient client{link, log, BootRoute::Direct};
    link.CommPortNumber = 3;
    port.existing = {3};
    ASSERT_EQ(link.InitSeriale(3, "115200"), 0);
    const double start = host.Now();
    client.SetupBootPort("57600");
    EXPECT_FALSE(port.IsOpen()) << "the open port is closed first";
    EXPECT_NEAR(host.Now() - start, 0.05, 1e-9);
    EXPECT_TRUE(client.OpenBootPort().ok());
    EXPECT_NEAR(host.Now() - start, 0.2, 1e-9);
    EXPECT_EQ(port.opens.back(), "57600,E,8,1");
    EXPECT_EQ(port.PortNumber(), 3);
    client.CloseBootPort();
    EXPECT_FALSE(port.IsOpen());

    link.CommPortNumber = 4;  // no such port
    client.SetupBootPort("115200");
    EXPECT_EQ(client.OpenBootPort().kind, PortOpenResult::Kind::NotFound);
    EXPECT_EQ(link.LastOpenError().kind, PortOpenResult::Kind::NotFound) << "the link knows why, as for every open";
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Error");
    EXPECT_NE(dialogs.messages[0].text.find("COM4"), std::string::npos);
}
