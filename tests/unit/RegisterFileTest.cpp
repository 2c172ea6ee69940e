#include <gtest/gtest.h>

#include <string>

#include "service/RegisterFile.h"

namespace {

using Kind = RegisterFileEntry::Kind;

}  // namespace

// What a line of a register file sends; the rules a whole file shows (first line, skipped and
// read-only registers, each form of 12h, lines too long or out of range) are in RegisterFile.
TEST(RegisterFileLine, WhatEachLineSends)
{
    const struct {
        std::string line;
        Kind kind;
        int n;
        std::vector<int> values;
    } cases[] = {
        {"12h 1.2.3", Kind::Write, 0x12, {1, 2, 3, 3}},
        {"12h ", Kind::Write, 0x12, {0, 0, 0, 0}},
        {"12h .", Kind::Write, 0x12, {0, 0, 0, 0}},
        {"12hx1.2.3.4", Kind::Write, 0x12, {1, 2, 3, 4}},  // the fourth character is not looked at
        {"13h 255.255.255.0", Kind::Write, 0x13, {255, 255, 255, 0}},
        {"25h 1.x.3.4", Kind::Unencodable, 0x25, {}},
        {"10h ", Kind::Write, 0x10, {}},
        {"10h  a b ", Kind::Write, 0x10, {' ', 'a', ' ', 'b', ' '}},
        {"10h \xE8", Kind::Write, 0x10, {0xE8}},
        {"03h 1152", Kind::Write, 0x03, {'1', '1', '5', '2'}},
        {"2ah x", Kind::Write, 0x2A, {'x'}},
        {"33h a", Kind::Write, 0x33, {'a'}},
        {"34h", Kind::Write, 0x34, {}},
        {"12H 1.2.3.4", Kind::Skip, 0, {}},
        {" 3h 1", Kind::Skip, 0, {}},
        {"", Kind::Skip, 0, {}},
        {"h", Kind::Skip, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const RegisterFileEntry entry = ParseRegisterFileLine(c.line);
        EXPECT_EQ(entry.kind, c.kind);
        if (c.kind != Kind::Skip) {
            EXPECT_EQ(entry.n, c.n);
        }
        EXPECT_EQ(entry.values, c.values);
    }
}

TEST(RegisterFileLine, LinesOfAFile)
{
    const auto lines = [](const std::string& text) { return RegisterFileLines(Bytes(text.begin(), text.end())); };
    using L = std::vector<std::string>;
    EXPECT_EQ(lines("a\r\nb\r\n"), (L{"a", "b"}));
    EXPECT_EQ(lines("a\nb"), (L{"a", "b"}));
    EXPECT_EQ(lines("a\rb\r"), (L{"a", "b"}));
    EXPECT_EQ(lines("a\r\n\r\nb"), (L{"a", "", "b"}));
    EXPECT_EQ(lines("a\n\rb"), (L{"a", "", "b"}));
    EXPECT_EQ(lines(""), L{});
    EXPECT_EQ(lines("\r\n"), L{""});
}

TEST(RegisterFileLine, HeaderAndLinesAsWritten)
{
    InstrumentInfo info;
    info.Name = "ZJ553903";
    info.SerialNumber = "00000042";
    info.FwVersion = "01.13";
    EXPECT_EQ(RegisterFileName(info), "ZJ553903_00000042_wifi.txt");
    EXPECT_EQ(RegisterFileHeader(info, {2031, 1, 9, 23, 59, 59}),
              "Wifi registers ZJ553903_00000042,    Date:09.01.31,  fw:01.13\r\n");
    EXPECT_EQ(RegisterFileHeader(info, {2000, 12, 31, 0, 0, 0}),
              "Wifi registers ZJ553903_00000042,    Date:31.12.00,  fw:01.13\r\n");
    EXPECT_EQ(RegisterFileLine(0x03, "1152"), "03h 1152\r\n");
    EXPECT_EQ(RegisterFileLine(0x2A, ""), "2Ah \r\n");
    EXPECT_EQ(RegisterFileLine(0x0F, "x"), "0Fh x\r\n");
}
