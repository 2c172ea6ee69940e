#include <gtest/gtest.h>

#include <string>

#include "core/ResultCodes.h"
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
    const char* story;
    int n;
    Bytes received;
    int code;
    std::string value;
    std::string reply;
};

void ExpectJudgements(const std::vector<Judgement>& cases)
{
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story + (" " + std::to_string(c.n) + ": " + BytesToHex(c.received)));
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

// Every register of the table, and the counts on both sides of what each needs (what the window
// shows of each: WifiRegister).
TEST(WifiAnswer, EachRegisterTakesWhatItHolds)
{
    const std::string q4 = std::string("\x0A\x00\x00\x01", 4);
    ExpectJudgements({
        {"", 0x03, Data("1152 baud"), 0, "1152", ""},
        {"", 0x03, Data("2147483647"), 0, "2147483647", ""},
        {"", 0x03, Data("2147483648"), 7, "", Err(Data("2147483648"))},  // beyond 32 bits
        {"", 0x03, Data("-96"), 7, "", Err(Data("-96"))},
        {"", 0x09, Data("1"), 0, "1", "Authentication mode: 1 AUTH_WEP"},
        {"", 0x09, Data("4"), 0, "4", "Authentication mode: 4 AUTH_WPA_WPA2_PSK"},
        {"", 0x09, Data("32"), 7, "", Err(Data("32"))},     // two bytes: the status "3" there is no mode
        {"", 0x09, Data("\x15" "2"), 5, "", "NAK"},          // judged by its first data byte
        {"", 0x09, Data("12"), 8, "", "NO OK !!"},
        {"", 0x09, Data("22"), 9, "", "Busy ..."},
        {"", 0x10, Data(""), 0, "", "OK"},                 // a bare status: an empty name
        {"", 0x11, Data("pw"), 0, "pw", ""},
        {"", 0x11, Data("2"), 9, "", "Busy ..."},
        {"", 0x23, Data("3"), 0, "3", ""},
        {"", 0x12, Data(q4 + "\x09"), 0, "10.0.0.1", ""},  // bytes beyond the fourth are not looked at
        {"", 0x12, Data("\xC0\xA8\x04"), 7, "", Err(Data("\xC0\xA8\x04"))},
        {"", 0x13, Data(std::string("\xFF\xFF\xFF\x00", 4)), 0, "255.255.255.0", ""},
        {"", 0x22, Data("Home"), 0, "Home", ""},
        {"", 0x24, Data("DHCP"), 0, "DHCP", ""},
        {"", 0x25, Data(q4), 0, "10.0.0.1", ""},
        {"", 0x26, Data(q4), 0, "10.0.0.1", ""},
        {"", 0x27, Data(q4), 0, "10.0.0.1", ""},
        {"", 0x28, Data("m"), 0, "m", ""},
        {"", 0x29, Data("1883"), 0, "1883", ""},
        {"", 0x2A, Data("t/x"), 0, "t/x", ""},
        {"", 0x2C, Data("1"), 0, "1", ""},
        {"", 0x2D, Data("2"), 0, "2", ""},
        {"", 0x2E, Data("30"), 0, "30", ""},
        {"", 0x33, Data("site"), 0, "site", ""},
        {"", 0x34, Data("x"), 0, "x", ""},
        {"", 0x2B, Data("x"), 7, "Register: 0x2B  not found!", ""},
        {"", 0x05, Data("x"), 7, "Register: 0x5  not found!", ""},
        {"", 0x41, Data("x"), 7, "Register: 0x41  not found!", ""},
        {"", 0x10, Data("caf\xE9"), 0, "caf\xC3\xA9", ""},  // single-byte characters
    });
}

// The status register: its value, a rule of 20 hyphens between the bytes, a flag per bit.
TEST(WifiAnswer, StatusDescriptionHasALineForEveryBit)
{
    const std::string rule = "--------------------\r\n";
    ExpectJudgements({{"status", 0x40, Data(std::string("\x80\x05\x22\x0A", 4)), 0, "128.5.34.10",
                       "128.5.34.10\r\n" + rule + "1 Warn.: FIFOs reset, data may have been lost\r\n" + rule +
                           "0 Protocol err.: Unexpected SPI_C/D# signal\r\n1 Protocol err.: CRC error\r\n"
                           "0 Protocol err.: SOH or EOP not detected\r\n"
                           "1 Protocol err.: data block or cmd length mismatch\r\n" + rule +
                           "0 Data from MQTT server is available\r\n"
                           "1 MQTT client connected to the specified broker\r\n"
                           "0 MQTT functionality is enabled\r\n1 Client connected to the configured router\r\n"
                           "0 Client functionality is enabled\r\n" + rule + "0 TCP socket is enabled\r\n"
                           "1 Data from TCP socket is available\r\n0 TCP socket Cconnection established\r\n"
                           "1 Wi-Fi device is connected to the module AP\r\n0 AP functionality is enabled"}});
}

// Before any count rule: an answer is used only when it is a whole, well-formed short frame.
TEST(WifiAnswer, OnlyAWholeWellFormedFrameIsBelieved)
{
    Bytes badSum = Data("Net");
    badSum[badSum.size() - 3] ^= 0x01;
    Bytes noLf = Data("Net");
    noLf[noLf.size() - 2] = 0x0B;
    const Bytes longFrame{0x06, 0x02, 0x00, 0x09, '0', 'N', 'e', 't', 0x00, 0x0A, 0x04};
    Bytes longSummed = longFrame;
    longSummed[8] = static_cast<std::uint8_t>(256 - (0x02 + 0x09 + '0' + 'N' + 'e' + 't' + 0x0A) % 256);
    const Bytes empty{0x06, 0x01, 0x04, 0xF1, 0x0A, 0x04};
    ExpectJudgements({
        {"checksum", 0x10, badSum, 7, "", Err(badSum)},
        {"LF", 0x10, noLf, 7, "", Err(noLf)},
        {"long frame", 0x10, longSummed, 7, "", Err(longSummed)},
        {"long frame, password", 0x11, longSummed, 7, "", Err(longSummed)},
        {"nothing", 0x10, {}, 3, " NO EOT", ""},
        {"six bytes", 0x10, empty, 7, "Len(Rx)= 6  less than 6 bytes ..", ""},
        {"six bytes, password", 0x23, empty, 7, "Len(Rx)= 6  less than 6 bytes ..", ""},
        {"status alone, NAK", 0x0F, Acked({0x15}), 5, "", "NAK"},
        {"status alone, no valid block", 0x10, Acked({'3'}), 0, "", "No Valid block"},
        {"status alone, unknown", 0x10, Acked({'9'}), 7, "", Err(Acked({'9'}))},
        // A bare OK carries no number where the register holds one.
        {"status alone for an address", 0x12, Acked({'0'}), 7, "", Err(Acked({'0'}))},
        {"status alone for the status", 0x40, Acked({'0'}), 7, "", Err(Acked({'0'}))},
        {"status alone for the station mode", 0x21, Acked({'0'}), 7, "", Err(Acked({'0'}))},
        // A password's bare status is an empty password only when it says OK.
        {"password, bare OK", 0x11, Acked({'0'}), 0, "", "nessuna password"},
        {"password, bare ACK status", 0x23, Acked({0x06}), 0, "", "nessuna password"},
        {"password, bare not OK", 0x11, Acked({'1'}), 8, "", "NO OK !!"},
        {"password, bare busy", 0x23, Acked({'2'}), 9, "", "Busy ..."},
        {"password, bare NAK", 0x11, Acked({0x15}), 5, "", "NAK"},
        {"password, bare no valid block", 0x23, Acked({'3'}), 7, "", "No Valid block"},
        {"password, bare unknown status", 0x11, Acked({'9'}), 7, "", Err(Acked({'9'}))},
    });
}

// The decoder alone never reads beyond the answer it is given.
TEST(WifiAnswer, DecoderStaysWithinTheBuffer)
{
    for (int n = 0; n <= 0x41; ++n) {
        for (std::size_t size = 0; size <= 12; ++size) {
            const Bytes buffer(size, '5');
            for (int count = -1; count <= static_cast<int>(size) + 3; ++count) {
                WifiRegisterSet record;
                const int code = DecodeWifiAnswer(buffer, count, n, record);
                EXPECT_TRUE(code == 0 || code == 7 || code == 9) << n << " " << size << " " << count;
            }
        }
    }
}
