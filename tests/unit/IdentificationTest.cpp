#include <gtest/gtest.h>

#include "link/Identification.h"

namespace {

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
