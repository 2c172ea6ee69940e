#include <gtest/gtest.h>

#include <numeric>

#include "core/ResultCodes.h"
#include "link/Answers.h"
#include "link/RxState.h"
#include "support/SimTestHelpers.h"

using simtest::Acked;
using simtest::Cat;

namespace {

Bytes Payload(std::size_t n)
{
    Bytes p(n);
    std::iota(p.begin(), p.end(), 0);
    return p;
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

// Against frames built by the protocol's rules: a short frame up to 251 payload bytes, a long one
// (two LEN bytes) from 252; the identification request's bytes: SerialLinkTest.
TEST(Frames, ShortAndLongFrameBoundary)
{
    for (const std::size_t n : {1u, 251u, 252u, 1030u})
        EXPECT_EQ(Cat({ctl::ACK}, BuildFrame(Payload(n))), Acked(Payload(n))) << n;
}

// The recogniser fed byte by byte: when an answer is complete, what it takes as the acknowledge,
// and that every byte is stored in order, shifted by whatever came before the frame.
TEST(Recogniser, AnswersCompleteOnEotAtTheirLength)
{
    const Bytes longAnswer = Acked(Payload(1024));
    const struct { const char* story; Bytes bytes; std::uint8_t ack; bool done; } cases[] = {
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

    RxState flood;
    flood.ResetForExchange();
    int refused = 0;
    for (int i = 0; i < 6000; ++i)
        refused += flood.Accept(0x33) ? 0 : 1;
    EXPECT_EQ(flood.RxCount, kRxLastIndexExchange + 1) << "never past the buffer";
    EXPECT_EQ(refused, 6000 - (kRxLastIndexExchange + 1));
}

TEST(DecodeAnswer, EveryStatusByte)
{
    const struct { std::uint8_t status; int code; const char* message; } cases[] = {
        {ctl::ACK, 0, "OK"}, {ctl::NAK, 5, "NAK"}, {'0', 0, "OK"}, {'1', 8, "NO OK !!"}, {'2', 9, "Busy ..."},
        {'3', 0, "No Valid block"}};
    std::string message;
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeAnswer(3, Bytes{ctl::ACK, ctl::SOH, 5, c.status, 0x00, 0x0A, ctl::EOT}, 7, message), c.code)
            << int(c.status);
        EXPECT_EQ(message, c.message);
    }
    EXPECT_EQ(DecodeAnswer(3, Bytes{ctl::ACK, 1, 5, 'x', 0, 10, 4}, 7, message), code::kMalformed);
    EXPECT_EQ(message, "Error (Rx: 06010578000A04)");
    // Too few bytes for the index: malformed, dump of what there is; never past the buffer.
    EXPECT_EQ(DecodeAnswer(3, Bytes{ctl::NAK}, 1, message), code::kMalformed);
    EXPECT_EQ(message, "Error (Rx: 15)");
    EXPECT_EQ(DecodeAnswer(3, Bytes{ctl::ACK, 1, 5}, 500, message), code::kMalformed);
    EXPECT_EQ(message, "Error (Rx: 060105)");
}

TEST(GetAnswerText, TextAndNumericForms)
{
    const RxState rx = Fed({ctl::ACK, ctl::SOH, 9, '0', '1', '2', '3', '4', 0x00, 0x0A, ctl::EOT});
    ASSERT_TRUE(rx.RxFrameDone);
    int result = -1;
    EXPECT_EQ(GetAnswerText(rx, false, result), "1234");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GetAnswerText(rx, true, result), "48");
    EXPECT_EQ(GetAnswerText(Fed({ctl::ACK, ctl::SOH}), false, result), "");
    EXPECT_EQ(result, code::kNoFrame);
}
