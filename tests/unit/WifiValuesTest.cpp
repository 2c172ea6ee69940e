#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "service/WifiValues.h"

namespace {

using Outcome = RegisterValueCheck::Outcome;
using Status = RegisterPayload::Status;

}  // namespace

TEST(DottedQuad, GroupsInTheOrderTyped)
{
    const WifiQuad before{9, 9, 9, 9};
    const struct {
        const char* text;
        bool accepted;
        WifiQuad after;
    } cases[] = {
        {"192.168.001.010", true, {192, 168, 1, 10}},
        {"1921.168.1.1", false, {9, 9, 9, 9}},      // four characters before a dot
        {"192.1681.1.1", false, {192, 9, 9, 9}},
        {"1.2.3.4.", false, {1, 2, 3, 4}},          // ends with a dot
        {"1.", false, {1, 9, 9, 9}},
        {"1.2", true, {1, 2, 9, 9}},                // the groups not reached keep their values
        {"7", true, {7, 9, 9, 9}},
        {"", true, {9, 9, 9, 9}},
        {".5", true, {0, 5, 9, 9}},                 // an empty group reads 0
        {"1..3.4", true, {1, 0, 3, 4}},
        {"1.2.3.4.5", true, {1, 2, 3, 4}},          // groups beyond the fourth are ignored
        {"1.2.3.4000", true, {1, 2, 3, 4000}},      // no range test here
        {"1.2.3.4a", false, {1, 2, 3, 9}},          // only digits make a number
        {"1.a.3.4", false, {1, 9, 9, 9}},
        {"-1.2.3.4", false, {9, 9, 9, 9}},
        {"+1.2.3.4", false, {9, 9, 9, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        WifiQuad field = before;
        EXPECT_EQ(ParseDottedQuad(c.text, field), c.accepted);
        EXPECT_EQ(field, c.after);
    }
}

TEST(RegisterValue, ChecksByRegister)
{
    const struct {
        int n;
        const char* text;
        std::array<bool, 4> boxes;
        Outcome outcome;
        std::optional<std::string> box;
        std::string log;
    } cases[] = {
        {0x03, "115200", {}, Outcome::Accepted, std::nullopt, ""},
        {0x03, "2147483647", {}, Outcome::Accepted, std::nullopt, ""},
        {0x03, "2147483648", {}, Outcome::Unencodable, std::nullopt, ""},
        {0x09, "0", {}, Outcome::Accepted, std::nullopt, ""},
        {0x09, "5", {}, Outcome::Accepted, std::nullopt, ""},
        {0x09, "5.4", {}, Outcome::Accepted, std::nullopt, ""},
        {0x09, "5.5", {}, Outcome::Refused, std::nullopt, ""},  // half to even: 6
        {0x09, "-0.4", {}, Outcome::Accepted, std::nullopt, ""},
        {0x09, "-1", {}, Outcome::Refused, std::nullopt, ""},
        {0x09, "six", {}, Outcome::Refused, std::nullopt, ""},
        {0x21, "2x", {}, Outcome::Accepted, std::nullopt, ""},
        {0x21, "x2", {}, Outcome::Refused, std::nullopt, ""},
        {0x17, "12345", {}, Outcome::Accepted, "12345", ""},
        {0x17, "123456", {}, Outcome::Refused, std::nullopt, "troppi caratteri:  max=5\r\n"},
        {0x17, "1234\xC3\xA9", {}, Outcome::Accepted, "1234", ""},  // five characters, one of two bytes
        {0x17, "80a", {}, Outcome::Accepted, "80", ""},
        {0x17, "a80", {}, Outcome::Refused, std::nullopt, ""},
        {0x17, "7.5", {}, Outcome::Accepted, "8", ""},
        {0x12, "1.2.3.4", {}, Outcome::Accepted, std::nullopt, ""},
        {0x27, "1.2.3.4.", {}, Outcome::Refused, std::nullopt, ""},
        {0x10, "any text", {}, Outcome::Accepted, std::nullopt, ""},
        {0x20, "", {true, false, false, true}, Outcome::Accepted, std::nullopt, ""},
        {0x00, "", {}, Outcome::Accepted, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.n) + " " + c.text);
        WifiRegisterSet record;
        const RegisterValueCheck check = CheckRegisterValue(c.n, c.text, c.boxes, record);
        EXPECT_EQ(check.outcome, c.outcome);
        EXPECT_EQ(check.boxText, c.box);
        EXPECT_EQ(check.logText, c.log);
    }
}

// The value bytes of a single write, from a record filled by the checks.
TEST(RegisterValue, BytesWrittenPerRegister)
{
    const struct {
        int n;
        const char* text;
        std::array<bool, 4> boxes;
        Status status;
        Bytes bytes;
    } cases[] = {
        {0x00, "", {}, Status::Ready, {}},
        {0x03, "115200", {}, Status::Ready, {'1', '1', '5', '2'}},
        {0x03, "1000", {}, Status::Ready, {'1', '0', '0', '0'}},
        {0x03, "999", {}, Status::Unencodable, {}},
        {0x03, "-1000", {}, Status::Unencodable, {}},
        {0x09, "4", {}, Status::Ready, {4}},
        {0x21, "4", {}, Status::Ready, {'4'}},
        {0x10, "ab", {}, Status::Ready, {'a', 'b'}},
        {0x10, "", {}, Status::Ready, {}},
        {0x11, "\xC3\xA8", {}, Status::Ready, {0xE8}},
        {0x11, "\xE2\x82\xAC", {}, Status::Unencodable, {}},
        {0x17, "80", {}, Status::Ready, {'8', '0'}},
        {0x12, "255.0.1.2", {}, Status::Ready, {255, 0, 1, 2}},
        {0x13, "256.0.1.2", {}, Status::Unencodable, {}},
        {0x20, "", {true, false, false, true}, Status::Ready, {0, 0, 16, 1}},
        {0x20, "", {false, true, true, false}, Status::Ready, {0, 0, 1, 16}},
        {0x22, "s", {}, Status::Ready, {'s'}},
        {0x24, "STATIC", {}, Status::Ready, {'S', 'T', 'A', 'T', 'I', 'C'}},
        {0x25, "1.2.3.4", {}, Status::Ready, {1, 2, 3, 4}},
        {0x26, "1.2.3.4", {}, Status::Ready, {1, 2, 3, 4}},
        {0x27, "1.2.3.4", {}, Status::Ready, {1, 2, 3, 4}},
        {0x2C, "2", {}, Status::Ready, {'2'}},
        {0x2F, "60", {}, Status::Ready, {'6', '0'}},
        {0x04, "x", {}, Status::NotWritable, {}},
        {0x0F, "x", {}, Status::NotWritable, {}},
        {0x1F, "x", {}, Status::NotWritable, {}},
        {0x2B, "x", {}, Status::NotWritable, {}},
        {0x33, "x", {}, Status::NotWritable, {}},
        {0x40, "x", {}, Status::NotWritable, {}},
        {0x05, "x", {}, Status::NotWritable, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.n) + " " + c.text);
        WifiRegisterSet record;
        CheckRegisterValue(c.n, c.text, c.boxes, record);
        const RegisterPayload payload = BuildRegisterPayload(c.n, record);
        EXPECT_EQ(payload.status, c.status);
        EXPECT_EQ(payload.bytes, c.bytes);
    }
    WifiRegisterSet record;
    record.ApSsid = std::string(kMaxRegisterText, 'x');
    EXPECT_EQ(BuildRegisterPayload(0x10, record).bytes.size(), kMaxRegisterText);
    record.ApSsid += 'x';
    EXPECT_EQ(BuildRegisterPayload(0x10, record).status, Status::Unencodable);
}
