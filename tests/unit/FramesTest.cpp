// Frames, answers and the identification as the link takes them apart.
#include <gtest/gtest.h>

#include <numeric>

#include "core/ResultCodes.h"
#include "link/Answers.h"
#include "link/Identification.h"
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

// ACK, SOH, LEN, name, serial, version text, CKS, LF, EOT: the count is 22 + the version length.
Bytes InfoAnswer(const std::string& name8, const std::string& version)
{
    Bytes b{0x06, 0x01, 0x00};
    for (char c : name8 + "00001234" + version)
        b.push_back(static_cast<std::uint8_t>(c));
    b.insert(b.end(), {0x00, 0x0A, 0x04});
    return b;
}

}  // namespace

// Against frames built by the protocol's rules: short up to 251 payload bytes, long (two LEN bytes)
// from 252.
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

// Version text T: FwVersion is 4 characters when the first "." at or after position 3 is at
// position 6, else 5; FwDetail is 7 characters from position 11 when FwVersion reads at least
// 1.13, else 4. A byte is one character whatever its value.
TEST(ParseInfoAnswer, FieldsOfTheVersionText)
{
    const struct { const char* name8; std::string version; const char *name, *fwVersion, *fwDetail; } cases[] = {
        {"QMX-ARN ", "01.05 ABCDEFGHIJK", "QMX-ARN", "01.05", "EFGH"},
        {"  QSLUM ", "1.05", "QSLUM", "1.05", ""},
        {"VRTA708 ", "01.13 ABCDEFGHIJK", "VRTA708", "01.13", "EFGHIJK"},  // 1.13 is not below 1.13
        {"VRTA708 ", "01.12 ABCDEFGHIJK", "VRTA708", "01.12", "EFGH"},
        {"VRTA708 ", "1.05 .ABCDEFGHIJ", "VRTA708", "1.05", "EFGH"},       // "." at position 6
        {"VRTA708 ", "1.05 ABCDEFGHIJK", "VRTA708", "1.05 ", "FGHI"},      // none at or after 3
        {"VRTA708 ", "1.051.02  0314", "VRTA708", "1.05", "0314"},
        {"VRTA708 ", "2.0", "VRTA708", "2.0", ""},                          // never past the answer
        {"VRTA708 ", "1.13 ABCDEFGH", "VRTA708", "1.13 ", "FGH"},            // detail cut by the end
        // 0xE9 is one character (two bytes of UTF-8): the "." stays at position 3.
        {"V\xE9RTA708", "0\xE9.13 ABCDEFGHIJK", "V\xC3\xA9RTA708", "0\xC3\xA9.13", "EFGH"},
        {"VRTA708 ", "\xE9\xE9\xE9\xE9\xE9.BCDEFGHIJK", "VRTA708", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "FGHI"},
    };
    for (const auto& c : cases) {
        const Bytes answer = InfoAnswer(c.name8, c.version);
        InstrumentInfo info;
        EXPECT_EQ(ParseInfoAnswer(answer, static_cast<int>(answer.size()), info), 0);
        EXPECT_EQ(info.Name + "|" + info.SerialNumber + "|" + info.FwVersion + "|" + info.FwDetail,
                  std::string(c.name) + "|00001234|" + c.fwVersion + "|" + c.fwDetail) << c.version;
    }
    // A count beyond the buffer, or too small for any version text, never reads past the answer.
    InstrumentInfo info;
    EXPECT_EQ(ParseInfoAnswer(Bytes{0x06, 0x01, 0x05}, 300, info), 0);
    EXPECT_EQ(info.Name + info.FwVersion + info.FwDetail, "");
    EXPECT_EQ(ParseInfoAnswer(InfoAnswer("VRTA708 ", "1.05"), 22, info), 0);
    EXPECT_EQ(info.FwVersion, "");
}
