#include <gtest/gtest.h>

#include <string>

#include "link/RxState.h"
#include "service/WifiCommands.h"
#include "service/WifiDecode.h"
#include "support/SimTestHelpers.h"

namespace {

using simtest::Acked;

// A register read's answer: '0' and the data.
Bytes Data(const std::string& data)
{
    return Acked(simtest::Text("0" + data));
}

std::string Err(const Bytes& received)
{
    return "Error (Rx: " + BytesToHex(received) + ")";
}

// The bytes of one answer, what the read of register n should make of them.
struct Judgement {
    int n;
    Bytes received;
    int code;
    std::string value;
    std::string reply;
};

void ExpectJudgements(const std::vector<Judgement>& cases)
{
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.n) + ": " + BytesToHex(c.received));
        RxState rx;
        rx.ResetForExchange();
        for (const std::uint8_t b : c.received)
            rx.Accept(b);
        WifiRegisterSet record;
        record.ValueText = "stale";
        record.ReplyText = "stale";
        EXPECT_EQ(JudgeWifiReadAnswer(rx, c.n, record), c.code);
        EXPECT_EQ(record.ValueText, c.value);
        EXPECT_EQ(record.ReplyText, c.reply);
        EXPECT_EQ(record.RxHex, BytesToHex(c.received));
    }
}

}  // namespace

// What each kind of register takes from an answer, on both sides of what it needs (what a whole
// read makes of it: ServiceOperation), and the status register's description, a line per bit.
TEST(WifiAnswer, EachRegisterTakesWhatItHolds)
{
    const std::string q4 = std::string("\x0A\x00\x00\x01", 4);
    const std::string rule = "--------------------\r\n";
    ExpectJudgements({
        {0x03, Data("1152 baud"), 0, "1152", ""}, {0x03, Data("-96"), 7, "", Err(Data("-96"))},
        {0x03, Data("2147483647"), 0, "2147483647", ""}, {0x03, Data("2147483648"), 7, "", Err(Data("2147483648"))},
        {0x09, Data("4"), 0, "4", "Authentication mode: 4 AUTH_WPA_WPA2_PSK"},
        {0x09, Data("9"), 0, "9", "Authentication mode: 9 "},  // a digit beyond the modes has no name
        {0x09, Data("x"), 7, "", Err(Data("x"))},
        {0x09, Data("32"), 7, "", Err(Data("32"))},  // two bytes: the status "3" there is no mode
        {0x09, Data("\x15" "2"), 5, "", "NAK"},       // judged by its first data byte
        {0x0F, Data("aa:bb"), 0, "aa:bb", "aa:bb"},  // read only: the log shows it too
        {0x10, Data(""), 0, "", "OK"},                // a bare status: an empty name
        {0x10, Data("caf\xE9"), 0, "caf\xC3\xA9", ""},  // single-byte characters
        {0x11, Data("2"), 9, "", "Busy ..."}, {0x23, Data("3"), 0, "3", ""},
        {0x12, Data(q4 + "\x09"), 0, "10.0.0.1", ""},  // bytes beyond the fourth are not looked at
        {0x12, Data("\xC0\xA8\x04"), 7, "", Err(Data("\xC0\xA8\x04"))},
        {0x13, Data(std::string("\xFF\xFF\xFF\x00", 4)), 0, "255.255.255.0", ""},
        {0x2B, Data("x"), 7, "Register: 0x2B  not found!", ""}, {0x05, Data("x"), 7, "Register: 0x5  not found!", ""},
        // The status: its value, a rule of 20 hyphens between the bytes, a flag per bit.
        {0x40, Data(std::string("\x80\x05\x22\x0A", 4)), 0, "128.5.34.10",
         "128.5.34.10\r\n" + rule + "1 Warn.: FIFOs reset, data may have been lost\r\n" + rule +
             "0 Protocol err.: Unexpected SPI_C/D# signal\r\n1 Protocol err.: CRC error\r\n"
             "0 Protocol err.: SOH or EOP not detected\r\n1 Protocol err.: data block or cmd length mismatch\r\n" + rule +
             "0 Data from MQTT server is available\r\n1 MQTT client connected to the specified broker\r\n"
             "0 MQTT functionality is enabled\r\n1 Client connected to the configured router\r\n"
             "0 Client functionality is enabled\r\n" + rule + "0 TCP socket is enabled\r\n"
             "1 Data from TCP socket is available\r\n0 TCP socket Cconnection established\r\n"
             "1 Wi-Fi device is connected to the module AP\r\n0 AP functionality is enabled"},
    });
}

// Before any count rule: an answer is used only when it is a whole, well-formed short frame. A bare
// status carries no number where the register holds one, and is an empty password only when it
// says OK.
TEST(WifiAnswer, OnlyAWholeWellFormedFrameIsBelieved)
{
    Bytes badSum = Data("Net");
    badSum[badSum.size() - 3] ^= 0x01;
    Bytes longFrame{0x06, 0x02, 0x00, 0x09, '0', 'N', 'e', 't', 0x00, 0x0A, 0x04};
    longFrame[8] = static_cast<std::uint8_t>(256 - (0x02 + 0x09 + '0' + 'N' + 'e' + 't' + 0x0A) % 256);
    const Bytes six{0x06, 0x01, 0x04, 0xF1, 0x0A, 0x04};
    ExpectJudgements({
        {0x10, badSum, 7, "", Err(badSum)}, {0x10, longFrame, 7, "", Err(longFrame)}, {0x10, {}, 3, " NO EOT", ""},
        {0x10, six, 7, "Len(Rx)= 6  less than 6 bytes ..", ""}, {0x23, six, 7, "Len(Rx)= 6  less than 6 bytes ..", ""},
        {0x0F, Acked({0x15}), 5, "", "NAK"}, {0x10, Acked({'3'}), 0, "", "No Valid block"},
        {0x10, Acked({'9'}), 7, "", Err(Acked({'9'}))},
        {0x12, Acked({'0'}), 7, "", Err(Acked({'0'}))}, {0x21, Acked({'0'}), 7, "", Err(Acked({'0'}))},
        {0x11, Acked({'0'}), 0, "", "nessuna password"}, {0x23, Acked({0x06}), 0, "", "nessuna password"},
        {0x11, Acked({'1'}), 8, "", "NO OK !!"}, {0x23, Acked({'2'}), 9, "", "Busy ..."},
        {0x11, Acked({0x15}), 5, "", "NAK"}, {0x23, Acked({'3'}), 7, "", "No Valid block"},
        {0x11, Acked({'9'}), 7, "", Err(Acked({'9'}))},
    });
}

// The decoder alone never reads beyond the answer it is given.
TEST(WifiAnswer, DecoderStaysWithinTheBuffer)
{
    for (int n = 0; n <= 0x41; ++n) {
        for (int size = 0; size <= 12; ++size) {
            for (int count = -1; count <= size + 3; ++count) {
                WifiRegisterSet record;
                const int code = DecodeWifiAnswer(Bytes(static_cast<std::size_t>(size), '5'), count, n, record);
                EXPECT_TRUE(code == 0 || code == 7 || code == 9) << n << " " << size << " " << count;
            }
        }
    }
}
