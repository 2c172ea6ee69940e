#include <gtest/gtest.h>

#include "core/Bytes.h"
#include "core/Paths.h"

// Text written by a Windows program in its ANSI code page is told from UTF-8 by its bytes alone.
TEST(Bytes, TextThatIsNotUtf8IsTakenAsLatin1)
{
    const std::pair<const char*, const char*> cases[] = {
        {"27520_CPU.bin", "27520_CPU.bin"},
        {"Citt\xC3\xA0", "Citt\xC3\xA0"},                                   // UTF-8 already
        {"\xE2\x82\xAC \xF0\x9F\x94\x8C", "\xE2\x82\xAC \xF0\x9F\x94\x8C"},  // three and four bytes
        {"Citt\xE0", "Citt\xC3\xA0"},                                       // Latin-1
        {"\xC3", "\xC3\x83"},                                               // a character cut short
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                   // an overlong "/"
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},                       // a surrogate
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},           // past U+10FFFF
        {"\xA0x", "\xC2\xA0x"},                                             // a continuation byte alone
    };
    for (const auto& [text, utf8] : cases)
        EXPECT_EQ(Utf8OrLatin1(text), utf8) << text;
}

TEST(Bytes, LeadingNumberAndRounding)
{
    const std::pair<const char*, double> numbers[] = {{"abc", 0.0}, {"", 0.0},         {"  12abc", 12.0},
                                                      {"-3.5x", -3.5}, {"01.13 ABC", 1.13}, {"-", 0.0}};
    for (const auto& [text, value] : numbers)
        EXPECT_EQ(LeadingNumber(text), value) << text;
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(LeadingNumber("1e999999")), 1) << "only plain decimals are read";
    EXPECT_EQ(ZeroPadded(5, 3) + " " + ZeroPadded(1234, 8) + " " + ZeroPadded(12345, 3), "005 00001234 12345");
}

TEST(Paths, BothSeparators)
{
    EXPECT_EQ(FileNameOfPath("C:\\data\\x.epr") + " " + FileNameOfPath("/tmp/data/x.epr") + " " + FileNameOfPath("x.epr"),
              "x.epr x.epr x.epr");
    EXPECT_EQ(FolderOfPath("C:\\data\\x.epr"), "C:\\data");
    EXPECT_EQ(FolderOfPath("/tmp/a\\b/x"), "/tmp/a\\b");
    EXPECT_EQ(FolderOfPath("x.epr"), "");
    EXPECT_EQ(JoinPath("/tmp/", "x"), "/tmp/x");
    EXPECT_EQ(JoinPath("/tmp", "x"), "/tmp/x");
}
