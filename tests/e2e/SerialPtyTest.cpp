#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "core/ResultCodes.h"
#include "link/Frames.h"
#include "link/SerialLink.h"
#include "platform/QtHost.h"
#include "platform/QtSerialPort.h"
#include "support/Pty.h"
#include "support/RealPath.h"

namespace {

std::string AsString(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(SerialPty, InitSerialeExchangesBytesThroughARealPortAndCloses)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    RealPath path(pty.link(), 2);
    SerialLink& link = path.link;
    const QtSerialPort& port = path.port;
    const ScriptedDialogs& dialogs = path.dialogs;

    ASSERT_EQ(link.InitSeriale(2, "115200"), 0);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(dialogs.messages.empty());

    // The instrument's side answers the identification request with ACK and a short frame.
    std::thread peer([&] {
        const std::string request = pty.ReadMaster(6, 2000);
        if (request != AsString(BuildShortFrame({'I'})))
            return;
        Bytes payload;
        for (char c : std::string("VRTA708 00001234") + "1.05 .ABCDEFGHIJ")
            payload.push_back(static_cast<std::uint8_t>(c));
        Bytes answer{ctl::ACK};
        const Bytes frame = BuildShortFrame(payload);
        answer.insert(answer.end(), frame.begin(), frame.end());
        pty.WriteMaster(AsString(answer));
    });
    link.SendFrame({'I'}, 2.0);
    peer.join();

    EXPECT_EQ(link.Rx.RxAck, ctl::ACK);
    EXPECT_TRUE(link.Rx.RxFrameDone);
    EXPECT_EQ(link.Rx.RxCount, 38);

    // Bytes 0x7F and 0x11 pass untouched (raw mode on both sides).
    std::thread echo([&] { pty.WriteMaster(std::string("\x06\x7F\x11\x13", 4)); });
    link.Rx.ResetForExchange();
    link.WaitFor(2.0, [&] { return link.Rx.RxCount >= 4; });
    echo.join();
    EXPECT_EQ(BytesToHex(link.Rx.RxBuffer, 4), "067F1113");

    link.CloseSeriale();
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPty, MissingPortGivesCode1000)
{
    RealPath path("/tmp/servicetool-no-such-device", 2);
    SerialLink& link = path.link;
    const ScriptedDialogs& dialogs = path.dialogs;
    EXPECT_EQ(link.InitSeriale(2, "115200"), code::kPortMissing);
    EXPECT_EQ(link.InitSeriale(3, "115200"), code::kPortMissing) << "a number the map does not name";
    EXPECT_FALSE(link.TryOpenPort(2));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].title, "Error");
}

TEST(PortResolver, MapAndDefaults)
{
    const auto map = PortResolver::ParsePortMap("1=/tmp/sim/ttyA, 4=/dev/ttyUSB0,x=1,16=/dev/a,7=");
    EXPECT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at(1), "/tmp/sim/ttyA");
    EXPECT_EQ(map.at(4), "/dev/ttyUSB0");
    EXPECT_EQ(*PortResolver::DefaultDevice(1), "/dev/ttyS0");
    EXPECT_EQ(*PortResolver::DefaultDevice(5), "/dev/ttyUSB0");
    EXPECT_EQ(*PortResolver::DefaultDevice(15), "/dev/ttyACM5");
    EXPECT_FALSE(PortResolver::DefaultDevice(16).has_value());
}
