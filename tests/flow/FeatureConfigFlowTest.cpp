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
    const struct {
        std::string file;
        LocalDateTime now;
        std::vector<std::string> entries;
        const char* date;
    } cases[] = {
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

// What each feature line offers: tabs, Down mem options and how they start.
TEST(ConfigurationFile, EachFeatureLineOffersItsTabsAndOptions)
{
    const char* shownNames[] = {"chkEE2Down", "chkFlashDown", "txtDownDaPag", "txtDownaPag", "lblDownDa", "lblDownA",
                                "cmdDownUpData", "chkDownALLdata", "chkDownE2WriteNumRec", "chkDownEE2clearAll"};
    const char* tickNames[] = {"chkEE2Down", "chkFlashDown", "chkDownALLdata", "chkDownE2WriteNumRec", "chkDownEE2clearAll"};
    const struct {
        std::string file;
        const char* tabs;
        const char* shown;
        const char* ticked;  // the hidden boxes keep their ticks
        int services;
    } cases[] = {
        {"", "1100", "0000000000", "11110", 0},
        // Unticking "Flash #MIS only" leaves every choice open.
        {"31400-flashopen\r\n", "1100", "1111111110", "11000", 0},
        {"31400-EeWipeFull\n", "1100", "0000000001", "11110", 0},
        {"31400-paramedit\r\n31400-flashopen\r\n31400-EeWipeFull\r\n31400-WlanOps\r\n314x0-CalStmp\r\n", "1111",
         "1111111111", "11000", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        AppRig rig;
        rig.WriteConfig(c.file);
        ASSERT_TRUE(rig.Start());
        std::string tabs, shown, ticked;
        for (int tab = 0; tab < 4; ++tab)
            tabs += rig.TabShown(tab) ? '1' : '0';
        for (const char* name : shownNames)
            shown += Shown(rig.Control<QWidget>(name)) ? '1' : '0';
        for (const char* name : tickNames)
            ticked += rig.Control<QCheckBox>(name).isChecked() ? '1' : '0';
        EXPECT_EQ(tabs + " " + shown + " " + ticked, std::string(c.tabs) + " " + c.shown + " " + c.ticked);
        for (const char* name : {"chkEE2Down", "chkFlashDown", "txtDownDaPag", "txtDownaPag"})
            EXPECT_TRUE(rig.Control<QWidget>(name).isEnabled()) << name;
        EXPECT_EQ(rig.Text("txtDownDaPag") + "-" + rig.Text("txtDownaPag"), "0-2047");
        EXPECT_EQ(rig.Control<QComboBox>("cmbService").count(), c.services);
        EXPECT_EQ(rig.form->SSTab1->currentIndex(), 0);
        EXPECT_TRUE(rig.dialogs.messages.empty());
    }
}
