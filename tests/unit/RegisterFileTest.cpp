#include <gtest/gtest.h>

#include <string>

#include "service/RegisterFile.h"

using Kind = RegisterFileEntry::Kind;

// What a line of a register file sends (which lines of a whole file are sent: ServiceOperation).
TEST(RegisterFileLine, WhatEachLineSends)
{
    const std::string v49(49, 'v');
    const struct {
        std::string line;
        Kind kind;
        std::vector<int> values;
        std::string why = "";
    } cases[] = {
        {"12h 1.2.3", Kind::Write, {1, 2, 3, 3}},  // a group without a dot fills the positions left
        {"12h 1.2.", Kind::Write, {1, 2, 0, 0}}, {"12h ", Kind::Write, {0, 0, 0, 0}}, {"12h", Kind::Write, {0, 0, 0, 0}},
        {"12hx1.2.3.4", Kind::Write, {1, 2, 3, 4}},  // the fourth character is not looked at
        {"13h 255.255.255.255", Kind::Write, {255, 255, 255, 255}}, {"26h 255..0.0", Kind::Write, {255, 0, 0, 0}},
        {"13h 255.255.256.0", Kind::Unencodable, {}, "group 3 \"256\" is not a number from 0 to 255"},
        {"26h 255.25x.0.0", Kind::Unencodable, {}, "group 2 \"25x\" is not a number from 0 to 255"},
        {"12h 1.2.3.4 ", Kind::Unencodable, {}, "group 4 \"4 \" is not a number from 0 to 255"},
        {"12h 256", Kind::Unencodable, {}, "group 1 \"256\" is not a number from 0 to 255"},
        {"10h", Kind::Write, {}}, {"10h  a b ", Kind::Write, {' ', 'a', ' ', 'b', ' '}}, {"10h \xE8", Kind::Write, {0xE8}},
        {"28h " + v49, Kind::Write, std::vector<int>(49, 'v')},
        {"28h " + v49 + "v", Kind::Unencodable, {}, "50 characters, at most 49 can be sent"},
        {"03h 1152", Kind::Write, {'1', '1', '5', '2'}}, {"09h 3", Kind::Write, {'3'}}, {"2ah x", Kind::Write, {'x'}},
        {"2Bh x", Kind::Write, {'x'}},  // not in the register list, written all the same
        // The reboot; not hexadecimal, so register 0; a register the module does not have; read only.
        {"00h 1", Kind::Skip, {}}, {"g3h 1", Kind::Skip, {}}, {"0Ah x", Kind::Skip, {}}, {"04h WM 9", Kind::Skip, {}},
        {"0Fh aa", Kind::Skip, {}}, {"40h 1.2.3.4", Kind::Skip, {}},
        // The first "h" is not the third character, or not lower case.
        {"12H 1.2.3.4", Kind::Skip, {}}, {"3h 1152", Kind::Skip, {}}, {"1hh 1", Kind::Skip, {}}, {"", Kind::Skip, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const RegisterFileEntry entry = ParseRegisterFileLine(c.line);
        EXPECT_EQ(entry.kind, c.kind);
        if (c.kind != Kind::Skip) {
            EXPECT_EQ(entry.n, std::stoi(c.line.substr(0, 2), nullptr, 16));
        }
        EXPECT_EQ(entry.values, c.values);
        EXPECT_EQ(entry.why, c.why);
    }
}

TEST(RegisterFileLine, LinesOfAFile)
{
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"a\r\nb\r\n", {"a", "b"}}, {"a\nb", {"a", "b"}}, {"a\rb\r", {"a", "b"}}, {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}}, {"", {}}, {"\r\n", {""}}};
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(RegisterFileLines(Bytes(text.begin(), text.end())), lines) << BytesToHex(Bytes(text.begin(), text.end()));
}
