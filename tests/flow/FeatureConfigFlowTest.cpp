#include <gtest/gtest.h>

#include "AppRig.h"

// A line switches a feature on only when it is exactly the keyword; the CR of a CR LF line end
// belongs to the line end, everything else belongs to the line.
TEST(ConfigurationFile, OnlyTheExactKeywordShowsTheParamTab)
{
    const std::pair<std::string, bool> cases[] = {
        {"31400-paramedit", true}, {"31400-paramedit\n", true}, {"31400-paramedit\r\n", true},
        {"hello\r\n\r\n31400-paramedit\r\nbye\r\n", true},
        {"31400-paramedit \n", false}, {"31400-paramedit \r\n", false}, {"31400-paramedit\t\r\n", false},
        {" 31400-paramedit\n", false}, {"#31400-paramedit\r\n", false}, {"31400-ParamEdit\r\n", false},
        {"31400-paramedit\r\r\n", false}, {"31400-paramedit\r", false}, {"31400-paramedit31400-paramedit\n", false},
        {"", false},
    };
    for (const auto& [file, shown] : cases) {
        SCOPED_TRACE(file);
        AppRig rig;
        rig.WriteConfig(file);
        ASSERT_TRUE(rig.Start());
        EXPECT_EQ(rig.TabShown(kParamTab), shown);
        EXPECT_FALSE(rig.TabShown(kServiceTab));
        EXPECT_TRUE(rig.dialogs.messages.empty());
    }
}

TEST(ConfigurationFile, WifiAndCalibrationLinesFillTheServiceListInFileOrder)
{
    const struct { std::string file; LocalDateTime now; std::vector<std::string> entries; const char* date; } cases[] = {
        {"31400-WlanOps\r\n314x0-CalStmp\r\n", {2031, 2, 7, 10, 0, 0}, {"WiFi setting", "WiFi register", "Calibration date"}, "07/02/31"},
        {"314x0-CalStmp\n31400-WlanOps\n", {2030, 11, 23, 8, 0, 0}, {"Calibration date", "WiFi setting", "WiFi register"}, "23/11/30"},
        {"31400-WlanOps\n", {2030, 11, 23, 8, 0, 0}, {"WiFi setting", "WiFi register"}, "//"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        AppRig rig;
        rig.host.SetLocalStart(c.now);
        rig.WriteConfig(c.file);
        ASSERT_TRUE(rig.Start());
        EXPECT_TRUE(rig.TabShown(kServiceTab));
        EXPECT_FALSE(rig.TabShown(kParamTab));
        EXPECT_EQ(rig.Items("cmbService"), c.entries);
        EXPECT_EQ(rig.Control<QComboBox>("cmbService").currentIndex(), 0);
        EXPECT_EQ(rig.Text("txtCalibManDateDay") + "/" + rig.Text("txtCalibManDateMonth") + "/" + rig.Text("txtCalibManDateYear"),
                  c.date);
    }
}
