#include <gtest/gtest.h>

#include "link/Identification.h"

namespace {

// ACK, SOH, LEN, name, serial, version text, CKS, LF, EOT: the count is 22 + the version length.
Bytes InfoAnswer(const std::string& name8, const std::string& serial8, const std::string& version)
{
    Bytes b{0x06, 0x01, 0x00};
    for (char c : name8 + serial8 + version)
        b.push_back(static_cast<std::uint8_t>(c));
    b.insert(b.end(), {0x00, 0x0A, 0x04});
    return b;
}

InstrumentInfo Parsed(const std::string& name8, const std::string& version)
{
    const Bytes answer = InfoAnswer(name8, "00001234", version);
    InstrumentInfo info;
    EXPECT_EQ(ParseInfoAnswer(answer, static_cast<int>(answer.size()), info), 0);
    return info;
}

}  // namespace

TEST(ParseInfoAnswer, NameAndSerial)
{
    const InstrumentInfo info = Parsed("QMX-ARN ", "01.05 ABCDEFGHIJK");
    EXPECT_EQ(info.Name, "QMX-ARN");
    EXPECT_EQ(info.SerialNumber, "00001234");
    EXPECT_EQ(Parsed("  QSLUM ", "1.05").Name, "QSLUM");
}

TEST(ParseInfoAnswer, VersionAtAndAbove113TakesSevenDetailCharacters)
{
    const InstrumentInfo info = Parsed("VRTA708 ", "01.13 ABCDEFGHIJK");
    EXPECT_EQ(info.FwVersion, "01.13");
    EXPECT_EQ(info.FwDetail, "EFGHIJK");
}

TEST(ParseInfoAnswer, VersionBelow113TakesFourDetailCharacters)
{
    const InstrumentInfo info = Parsed("VRTA708 ", "01.12 ABCDEFGHIJK");
    EXPECT_EQ(info.FwVersion, "01.12");
    EXPECT_EQ(info.FwDetail, "EFGH");
}

TEST(ParseInfoAnswer, DotAtSixthPositionGivesFourCharacterVersion)
{
    const InstrumentInfo four = Parsed("VRTA708 ", "1.05 .ABCDEFGHIJ");
    EXPECT_EQ(four.FwVersion, "1.05");
    EXPECT_EQ(four.FwDetail, "EFGH");
    // No "." at or after position 3: five characters.
    EXPECT_EQ(Parsed("VRTA708 ", "1.05 ABCDEFGHIJK").FwVersion, "1.05 ");
}

TEST(ParseInfoAnswer, ShortVersionTextNeverReadsPastTheAnswer)
{
    const InstrumentInfo info = Parsed("VRTA708 ", "2.0");
    EXPECT_EQ(info.FwVersion, "2.0");
    EXPECT_EQ(info.FwDetail, "");
    Bytes tiny{0x06, 0x01, 0x05};
    InstrumentInfo empty;
    EXPECT_EQ(ParseInfoAnswer(tiny, 3, empty), 0);
    EXPECT_EQ(empty.Name, "");
    EXPECT_EQ(empty.FwVersion, "");
}
