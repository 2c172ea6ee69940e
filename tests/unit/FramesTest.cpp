#include <gtest/gtest.h>

#include <numeric>

#include "core/ResultCodes.h"
#include "link/Answers.h"
#include "link/Frames.h"
#include "link/RxState.h"
#include "support/SimTestHelpers.h"

namespace {

using simtest::Cat;

Bytes Payload(std::size_t n)
{
    Bytes p(n);
    std::iota(p.begin(), p.end(), 0);
    return p;
}

unsigned SumThroughLf(const Bytes& frame)
{
    return std::accumulate(frame.begin(), frame.end() - 1, 0u) % 256;
}

RxState Fed(const Bytes& bytes)
{
    RxState rx;
    rx.ResetForExchange();
    for (const auto b : bytes)
        rx.Accept(b);
    return rx;
}

}  // namespace

// The identification request's bytes: SerialLinkTest.SendFrameWritesOneFrameAndSwitchesBootModeOff.
TEST(Frames, ShortAndLongFrameBoundary)
{
    const Bytes at251 = BuildFrame(Payload(251));
    ASSERT_EQ(at251.size(), 256u);
    EXPECT_EQ(at251[0], ctl::SOH);
    EXPECT_EQ(at251[1], 255);
    EXPECT_EQ(SumThroughLf(at251), 0u);

    const Bytes at252 = BuildFrame(Payload(252));
    ASSERT_EQ(at252.size(), 258u);
    EXPECT_EQ(at252[0], ctl::STX);
    EXPECT_EQ(at252[1], 0x01);
    EXPECT_EQ(at252[2], 0x01);  // LEN 257
    EXPECT_EQ(at252[254], 251);  // last payload byte
    EXPECT_EQ(at252.back(), ctl::EOT);
    EXPECT_EQ(at252[at252.size() - 2], ctl::LF);
    EXPECT_EQ(SumThroughLf(at252), 0u);

    const Bytes flashWrite = BuildFrame(Payload(1030));
    EXPECT_EQ(flashWrite.size(), 1036u);
    EXPECT_EQ(flashWrite[1] * 256 + flashWrite[2], 1035);
}

// The recogniser fed byte by byte: when an answer is complete, what it takes as the acknowledge,
// and that every byte is stored in order, shifted by whatever came before the frame.
TEST(Recogniser, AnswersCompleteOnEotAtTheirLength)
{
    Bytes longAnswer{ctl::ACK};
    const Bytes longFrame = BuildLongFrame(Payload(1024));
    longAnswer.insert(longAnswer.end(), longFrame.begin(), longFrame.end());
    const struct {
        const char* story;
        Bytes bytes;
        std::uint8_t ack;
        bool done;
    } cases[] = {
        // ACK, SOH, LEN 6: the answer holds LEN + 2 = 8 bytes, EOT at index 7.
        {"short answer", {ctl::ACK, ctl::SOH, 6, '0', 'A', 'B', 0x0A, ctl::EOT}, ctl::ACK, true},
        {"EOT one byte early", {ctl::ACK, ctl::SOH, 6, '0', 'A', 'B', ctl::EOT}, ctl::ACK, false},
        {"no EOT at the end", {ctl::ACK, ctl::SOH, 6, '0', 'A', 'B', 0x0A, 0x05, 0x04, 0x04}, ctl::ACK, false},
        {"NAK", {ctl::NAK}, ctl::NAK, false},
        // Stray bytes are stored and shift every index; a short frame still ends by its own LEN.
        {"stray bytes first", {0x55, 0xAA, ctl::ACK, ctl::SOH, 5, '0', 0x00, 0x0A, ctl::EOT}, ctl::ACK, true},
        {"long answer of 1031 bytes", longAnswer, ctl::ACK, true},
        {"bytes after the end", Cat(longAnswer, {0x77}), ctl::ACK, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        const RxState rx = Fed(c.bytes);
        EXPECT_EQ(rx.RxAck, c.ack);
        EXPECT_EQ(rx.RxFrameDone, c.done);
        ASSERT_EQ(rx.RxCount, static_cast<int>(c.bytes.size()));
        EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), rx.RxBuffer.begin()));
    }
    std::string message;
    const RxState shifted = Fed(cases[4].bytes);
    EXPECT_EQ(DecodeAnswer(3, shifted.RxBuffer, shifted.RxCount, message), code::kMalformed);
    EXPECT_EQ(message, "Error (Rx: 55AA06010530000A04)");
}

TEST(Recogniser, NeverWritesPastTheBuffer)
{
    RxState rx;
    rx.ResetForExchange();
    int refused = 0;
    for (int i = 0; i < 6000; ++i)
        refused += rx.Accept(0x33) ? 0 : 1;
    EXPECT_EQ(rx.RxCount, kRxLastIndexExchange + 1);
    EXPECT_EQ(refused, 6000 - (kRxLastIndexExchange + 1));
}

TEST(DecodeAnswer, EveryStatusByte)
{
    struct Case {
        std::uint8_t status;
        int code;
        const char* message;
    };
    const Case cases[] = {{ctl::ACK, 0, "OK"}, {ctl::NAK, 5, "NAK"},      {'0', 0, "OK"},
                          {'1', 8, "NO OK !!"}, {'2', 9, "Busy ..."}, {'3', 0, "No Valid block"}};
    for (const auto& c : cases) {
        const Bytes buffer{ctl::ACK, ctl::SOH, 5, c.status, 0x00, 0x0A, ctl::EOT};
        std::string message;
        EXPECT_EQ(DecodeAnswer(3, buffer, 7, message), c.code) << int(c.status);
        EXPECT_EQ(message, c.message);
    }
    std::string message;
    EXPECT_EQ(DecodeAnswer(3, Bytes{ctl::ACK, 1, 5, 'x', 0, 10, 4}, 7, message), code::kMalformed);
    EXPECT_EQ(message, "Error (Rx: 06010578000A04)");
    // Too few bytes for the index: malformed, dump of what there is.
    EXPECT_EQ(DecodeAnswer(3, Bytes{ctl::NAK}, 1, message), code::kMalformed);
    EXPECT_EQ(message, "Error (Rx: 15)");
    // A count larger than the buffer never reads past it.
    EXPECT_EQ(DecodeAnswer(3, Bytes{ctl::ACK, 1, 5}, 500, message), code::kMalformed);
    EXPECT_EQ(message, "Error (Rx: 060105)");
}

TEST(GetAnswerText, TextAndNumericForms)
{
    RxState rx = Fed({ctl::ACK, ctl::SOH, 9, '0', '1', '2', '3', '4', 0x00, 0x0A, ctl::EOT});
    ASSERT_TRUE(rx.RxFrameDone);
    int result = -1;
    EXPECT_EQ(GetAnswerText(rx, false, result), "1234");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GetAnswerText(rx, true, result), "48");

    RxState incomplete = Fed({ctl::ACK, ctl::SOH});
    EXPECT_EQ(GetAnswerText(incomplete, false, result), "");
    EXPECT_EQ(result, code::kNoFrame);
}
