#include <gtest/gtest.h>

#include "core/Bytes.h"
#include "core/Paths.h"

TEST(Bytes, HexAndTextConversions)
{
    EXPECT_EQ(BytesToHex(Bytes{0x0A, 0xFF, 0x00}), "0AFF00");
    EXPECT_EQ(BytesToHex(Bytes{0x0A, 0xFF}, 10), "0AFF") << "never reads past the buffer";
    EXPECT_EQ(BytesToText(Bytes{'A', 0xB0, 'C'}, 0, 3), "A\xC2\xB0" "C") << "Latin-1 degree sign";
    EXPECT_EQ(BytesToText(Bytes{'A', 'B'}, 1, 5), "B");
    EXPECT_EQ(BytesToText(Bytes{'A'}, 4, 2), "");
    EXPECT_EQ(TextToLatin1("Unit\xC3\xA0"), (Bytes{'U', 'n', 'i', 't', 0xE0}));
    EXPECT_FALSE(TextToLatin1("\xE2\x82\xAC").has_value()) << "the euro sign has no single byte";
}

TEST(Bytes, LeadingNumberAndRounding)
{
    EXPECT_EQ(LeadingNumber("abc"), 0.0);
    EXPECT_EQ(LeadingNumber(""), 0.0);
    EXPECT_EQ(LeadingNumber("  12abc"), 12.0);
    EXPECT_EQ(LeadingNumber("-3.5x"), -3.5);
    EXPECT_EQ(LeadingNumber("01.13 ABC"), 1.13);
    EXPECT_EQ(LeadingNumber("-"), 0.0);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(LeadingNumber("1e999999")), 1) << "only plain decimals are read";
    EXPECT_EQ(ZeroPadded(5, 3), "005");
    EXPECT_EQ(ZeroPadded(1234, 8), "00001234");
    EXPECT_EQ(ZeroPadded(12345, 3), "12345");
}

TEST(Paths, BothSeparators)
{
    EXPECT_EQ(FileNameOfPath("C:\\data\\x.epr"), "x.epr");
    EXPECT_EQ(FileNameOfPath("/tmp/data/x.epr"), "x.epr");
    EXPECT_EQ(FileNameOfPath("x.epr"), "x.epr");
    EXPECT_EQ(FolderOfPath("C:\\data\\x.epr"), "C:\\data");
    EXPECT_EQ(FolderOfPath("/tmp/a\\b/x"), "/tmp/a\\b");
    EXPECT_EQ(FolderOfPath("x.epr"), "");
    EXPECT_EQ(JoinPath("/tmp/", "x"), "/tmp/x");
    EXPECT_EQ(JoinPath("/tmp", "x"), "/tmp/x");
}

