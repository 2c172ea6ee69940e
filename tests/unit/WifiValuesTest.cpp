#include <gtest/gtest.h>

#include "service/WifiValues.h"

TEST(DottedQuad, GroupsInTheOrderTyped)
{
    const struct {
        const char* text;
        bool accepted;
        WifiQuad after;  // of 9.9.9.9
    } cases[] = {
        {"1921.168.1.1", false, {9, 9, 9, 9}}, {"192.1681.1.1", false, {192, 9, 9, 9}},  // four characters before a dot
        {"1.2.3.4.", false, {1, 2, 3, 4}},  // ends with a dot
        {"1.2", true, {1, 2, 9, 9}}, {"", true, {9, 9, 9, 9}},  // the groups not reached keep their values
        {".5", true, {0, 5, 9, 9}},                // an empty group reads 0
        {"1.2.3.4.5", true, {1, 2, 3, 4}},         // groups beyond the fourth are ignored
        {"1.2.3.4000", true, {1, 2, 3, 4000}},     // no range test here
        {"1.2.3.4a", false, {1, 2, 3, 9}}, {"-1.2.3.4", false, {9, 9, 9, 9}},  // only digits make a number
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        WifiQuad field{9, 9, 9, 9};
        EXPECT_EQ(ParseDottedQuad(c.text, field), c.accepted);
        EXPECT_EQ(field, c.after);
    }
}
