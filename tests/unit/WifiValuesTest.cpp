#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "service/WifiValues.h"

namespace {

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
        {"1921.168.1.1", false, {9, 9, 9, 9}},      // four characters before a dot
        {"192.1681.1.1", false, {192, 9, 9, 9}},
        {"1.2.3.4.", false, {1, 2, 3, 4}},          // ends with a dot
        {"1.", false, {1, 9, 9, 9}},
        {"1.2", true, {1, 2, 9, 9}},                // the groups not reached keep their values
        {"7", true, {7, 9, 9, 9}},
        {"", true, {9, 9, 9, 9}},
        {".5", true, {0, 5, 9, 9}},                 // an empty group reads 0
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

// The value bytes of a single write, from a record filled by the checks (the panel's Set of each
// register is checked end to end in the flow tests; here the rest).
TEST(RegisterValue, BytesWrittenPerRegister)
{
    const struct {
        int n;
        const char* text;
        std::array<bool, 4> boxes;
        Status status;
        Bytes bytes;
    } cases[] = {
        {0x03, "1000", {}, Status::Ready, {'1', '0', '0', '0'}},
        {0x03, "999", {}, Status::Unencodable, {}},
        {0x03, "2147483648", {}, Status::Unencodable, {}},  // beyond 32 bits
        {0x24, "STATIC", {}, Status::Ready, {'S', 'T', 'A', 'T', 'I', 'C'}},
        {0x26, "1.2.3.4", {}, Status::Ready, {1, 2, 3, 4}},
        {0x2C, "2", {}, Status::Ready, {'2'}},
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
