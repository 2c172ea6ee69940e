#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "AppRig.h"

namespace {

std::vector<std::string> ServiceEntries(const AppRig& rig)
{
    std::vector<std::string> entries;
    const auto& list = rig.Control<QComboBox>("cmbService");
    for (int i = 0; i < list.count(); ++i)
        entries.push_back(list.itemText(i).toStdString());
    return entries;
}

struct ParamLineCase {
    const char* story;
    std::string file;
    bool paramTabShown;
};

void PrintTo(const ParamLineCase& c, std::ostream* out)
{
    *out << c.story;
}

class ParamEditLine : public ::testing::TestWithParam<ParamLineCase> {};

}  // namespace

// A line switches a feature on only when it is exactly the keyword; the CR of a CR LF line end
// belongs to the line end, everything else belongs to the line.
TEST_P(ParamEditLine, ShowsTheParamTabOnlyForTheExactKeyword)
{
    const ParamLineCase& c = GetParam();
    AppRig rig;
    rig.WriteConfig(c.file);
    ASSERT_TRUE(rig.Start());

    EXPECT_EQ(rig.TabShown(2), c.paramTabShown);
    EXPECT_FALSE(rig.TabShown(3));
    EXPECT_TRUE(rig.dialogs.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    ConfigurationFile, ParamEditLine,
    ::testing::Values(ParamLineCase{"keyword alone, no line end", "31400-paramedit", true},
                      ParamLineCase{"keyword with LF", "31400-paramedit\n", true},
                      ParamLineCase{"keyword with CR LF", "31400-paramedit\r\n", true},
                      ParamLineCase{"keyword after other lines", "hello\r\n\r\n31400-paramedit\r\nbye\r\n", true},
                      ParamLineCase{"trailing blank", "31400-paramedit \n", false},
                      ParamLineCase{"trailing blank before CR LF", "31400-paramedit \r\n", false},
                      ParamLineCase{"trailing tab", "31400-paramedit\t\r\n", false},
                      ParamLineCase{"leading blank", " 31400-paramedit\n", false},
                      ParamLineCase{"leading character", "#31400-paramedit\r\n", false},
                      ParamLineCase{"other case", "31400-ParamEdit\r\n", false},
                      ParamLineCase{"two CRs before LF", "31400-paramedit\r\r\n", false},
                      ParamLineCase{"lone CR at the end of the file", "31400-paramedit\r", false},
                      ParamLineCase{"two keywords on one line", "31400-paramedit31400-paramedit\n", false},
                      ParamLineCase{"empty file", "", false}),
    [](const ::testing::TestParamInfo<ParamLineCase>& info) {
        std::string name;
        for (const char ch : std::string(info.param.story))
            name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });

TEST(ConfigurationFile, MissingFileSwitchesNothingOnAndSaysNothing)
{
    AppRig rig;
    ASSERT_TRUE(rig.Start());

    EXPECT_FALSE(rig.TabShown(2));
    EXPECT_FALSE(rig.TabShown(3));
    EXPECT_EQ(rig.Control<QComboBox>("cmbService").count(), 0);
    EXPECT_FALSE(Shown(rig.Control<QCheckBox>("chkDownEE2clearAll")));
    EXPECT_FALSE(Shown(rig.Control<QPushButton>("cmdDownUpData")));
    EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST(ConfigurationFile, WifiThenCalibrationLinesFillTheServiceListInFileOrder)
{
    AppRig rig;
    rig.host.SetLocalStart({2031, 2, 7, 10, 0, 0});
    rig.WriteConfig("31400-WlanOps\r\n314x0-CalStmp\r\n");
    ASSERT_TRUE(rig.Start());

    EXPECT_TRUE(rig.TabShown(3));
    EXPECT_FALSE(rig.TabShown(2));
    EXPECT_EQ(ServiceEntries(rig), (std::vector<std::string>{"WiFi setting", "WiFi register", "Calibration date"}));
    EXPECT_EQ(rig.Control<QComboBox>("cmbService").currentIndex(), 0);
    EXPECT_EQ(rig.Control<QLineEdit>("txtCalibManDateDay").text(), "07");
    EXPECT_EQ(rig.Control<QLineEdit>("txtCalibManDateMonth").text(), "02");
    EXPECT_EQ(rig.Control<QLineEdit>("txtCalibManDateYear").text(), "31");
}

TEST(ConfigurationFile, CalibrationLineBeforeWifiLineComesFirstInTheList)
{
    AppRig rig;
    rig.host.SetLocalStart({2030, 11, 23, 8, 0, 0});
    rig.WriteConfig("314x0-CalStmp\n31400-WlanOps\n");
    ASSERT_TRUE(rig.Start());

    EXPECT_EQ(ServiceEntries(rig), (std::vector<std::string>{"Calibration date", "WiFi setting", "WiFi register"}));
    EXPECT_EQ(rig.Control<QComboBox>("cmbService").currentIndex(), 0);
    EXPECT_EQ(rig.Control<QLineEdit>("txtCalibManDateDay").text(), "23");
    EXPECT_EQ(rig.Control<QLineEdit>("txtCalibManDateMonth").text(), "11");
    EXPECT_EQ(rig.Control<QLineEdit>("txtCalibManDateYear").text(), "30");
}

TEST(ConfigurationFile, WifiLineAloneLeavesTheDateBoxesEmpty)
{
    AppRig rig;
    rig.WriteConfig("31400-WlanOps\n");
    ASSERT_TRUE(rig.Start());

    EXPECT_TRUE(rig.TabShown(3));
    EXPECT_EQ(ServiceEntries(rig), (std::vector<std::string>{"WiFi setting", "WiFi register"}));
    EXPECT_EQ(rig.Control<QLineEdit>("txtCalibManDateDay").text(), "");
}

TEST(ConfigurationFile, FlashLineOffersEveryDownMemOption)
{
    AppRig rig;
    rig.WriteConfig("31400-flashopen\r\n");
    ASSERT_TRUE(rig.Start());

    for (const char* name : {"chkEE2Down", "chkFlashDown", "txtDownDaPag", "txtDownaPag", "lblDownDa", "lblDownA",
                             "cmdDownUpData", "chkDownALLdata", "chkDownE2WriteNumRec"})
        EXPECT_TRUE(Shown(rig.Control<QWidget>(name))) << name;
    EXPECT_TRUE(rig.Control<QCheckBox>("chkFlashDown").isChecked());
    EXPECT_TRUE(rig.Control<QCheckBox>("chkEE2Down").isChecked());
    EXPECT_FALSE(rig.Control<QCheckBox>("chkDownALLdata").isChecked());
    EXPECT_FALSE(rig.Control<QCheckBox>("chkDownE2WriteNumRec").isChecked());
    // Unticking "Flash #MIS only" left every choice open.
    for (const char* name : {"chkEE2Down", "chkFlashDown", "txtDownDaPag", "txtDownaPag"})
        EXPECT_TRUE(rig.Control<QWidget>(name).isEnabled()) << name;
    EXPECT_EQ(rig.Control<QLineEdit>("txtDownDaPag").text(), "0");
    EXPECT_EQ(rig.Control<QLineEdit>("txtDownaPag").text(), "2047");
    EXPECT_FALSE(Shown(rig.Control<QCheckBox>("chkDownEE2clearAll")));
    EXPECT_FALSE(rig.TabShown(2));
}

TEST(ConfigurationFile, ClearAllLineOffersTheClearAllBoxUnticked)
{
    AppRig rig;
    rig.WriteConfig("31400-EeWipeFull\n");
    ASSERT_TRUE(rig.Start());

    EXPECT_TRUE(Shown(rig.Control<QCheckBox>("chkDownEE2clearAll")));
    EXPECT_FALSE(rig.Control<QCheckBox>("chkDownEE2clearAll").isChecked());
    EXPECT_FALSE(Shown(rig.Control<QCheckBox>("chkFlashDown")));
    EXPECT_FALSE(Shown(rig.Control<QPushButton>("cmdDownUpData")));
}

TEST(ConfigurationFile, EveryFeatureTogether)
{
    AppRig rig;
    rig.WriteConfig("31400-paramedit\r\n31400-flashopen\r\n31400-EeWipeFull\r\n31400-WlanOps\r\n314x0-CalStmp\r\n");
    ASSERT_TRUE(rig.Start());

    for (int tab = 0; tab < 4; ++tab)
        EXPECT_TRUE(rig.TabShown(tab)) << tab;
    EXPECT_EQ(rig.form->SSTab1->currentIndex(), 0);
    EXPECT_TRUE(Shown(rig.Control<QCheckBox>("chkDownEE2clearAll")));
    EXPECT_TRUE(Shown(rig.Control<QLineEdit>("txtDownDaPag")));
    EXPECT_EQ(ServiceEntries(rig).size(), 3u);
}
