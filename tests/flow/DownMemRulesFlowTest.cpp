#include <gtest/gtest.h>

#include <string>

#include "AppRig.h"

namespace {

// The Down mem tab with the options the configuration file offers.
struct DownMemOptions : ::testing::Test {
    AppRig rig;
    void StartWith(const std::string& config) { rig.StartOn(config, kDownMemTab); }
    QCheckBox& Box(const char* name) { return rig.Control<QCheckBox>(name); }
    QLineEdit& Field(const char* name) { return rig.Control<QLineEdit>(name); }

    bool PageRangeShown()
    {
        const bool from = Shown(Field("txtDownDaPag"));
        EXPECT_EQ(Shown(Field("txtDownaPag")), from);
        EXPECT_EQ(Shown(rig.Control<QLabel>("lblDownDa")), from);
        EXPECT_EQ(Shown(rig.Control<QLabel>("lblDownA")), from);
        return from;
    }
};

const char* kFlashAndClearAll = "31400-flashopen\r\n31400-EeWipeFull\r\n";

}  // namespace

// A tick set by the program runs the rule as a click does.
TEST_F(DownMemOptions, FlashTickShowsAndHidesThePageRange)
{
    StartWith(kFlashAndClearAll);
    ASSERT_TRUE(PageRangeShown());
    Box("chkFlashDown").click();
    EXPECT_FALSE(Box("chkFlashDown").isChecked());
    EXPECT_FALSE(PageRangeShown());
    Box("chkFlashDown").setChecked(true);
    EXPECT_TRUE(PageRangeShown());
    Box("chkFlashDown").setChecked(false);
    EXPECT_FALSE(PageRangeShown());
    Box("chkFlashDown").click();
    EXPECT_TRUE(Box("chkFlashDown").isChecked());
    EXPECT_TRUE(PageRangeShown());
}

TEST_F(DownMemOptions, FlashTickChangesNothingWhileTheUploadButtonIsHidden)
{
    StartWith(kFlashAndClearAll);
    rig.Control<QPushButton>("cmdDownUpData").hide();
    Box("chkFlashDown").click();
    EXPECT_FALSE(PageRangeShown());
    Box("chkFlashDown").click();
    EXPECT_TRUE(Box("chkFlashDown").isChecked());
    EXPECT_FALSE(PageRangeShown());
}

TEST_F(DownMemOptions, WithoutTheFlashLineThePageRangeStaysHidden)
{
    StartWith("");
    rig.form->DownMem->chkFlashDown_Click();
    EXPECT_TRUE(Box("chkFlashDown").isChecked());
    EXPECT_FALSE(PageRangeShown());
}

TEST_F(DownMemOptions, AllDataTicksAndLocksBothMemoriesAndThePageRange)
{
    StartWith(kFlashAndClearAll);
    Box("chkFlashDown").click();  // page range hidden
    Box("chkEE2Down").click();
    Field("txtDownDaPag").setText("12");
    Field("txtDownaPag").setText("40");

    for (const bool allData : {true, false}) {
        SCOPED_TRACE(allData ? "ticked" : "unticked");
        Box("chkDownALLdata").click();
        for (const char* name : {"chkEE2Down", "chkFlashDown"}) {
            EXPECT_TRUE(Box(name).isChecked()) << name;
            EXPECT_EQ(Box(name).isEnabled(), !allData) << name;
        }
        EXPECT_EQ(Field("txtDownDaPag").isEnabled(), !allData);
        EXPECT_EQ(Field("txtDownaPag").isEnabled(), !allData);
        // Ticked, the range is kept; unticked, it is the whole flash again.
        EXPECT_EQ(rig.Text("txtDownDaPag"), allData ? "12" : "0");
        EXPECT_EQ(rig.Text("txtDownaPag"), allData ? "40" : "2047");
        EXPECT_TRUE(PageRangeShown()) << "the Flash tick set here ran the Flash rule";
    }
}

TEST_F(DownMemOptions, ClearAllLeavesOnlyItselfAndGivesEverythingBackWhenUnticked)
{
    StartWith(kFlashAndClearAll);
    for (const bool clearAll : {true, false}) {
        SCOPED_TRACE(clearAll ? "ticked" : "unticked");
        Box("chkDownEE2clearAll").click();
        EXPECT_EQ(Box("chkFlashDown").isChecked(), !clearAll);
        for (const char* name : {"chkFlashDown", "chkEE2Down", "chkDownE2WriteNumRec"})
            EXPECT_EQ(Shown(Box(name)), !clearAll) << name;
        EXPECT_EQ(PageRangeShown(), !clearAll) << "the Flash tick set here ran the Flash rule";
    }
}

TEST_F(DownMemOptions, ClearAllRuleDoesNothingWhileItsBoxIsHidden)
{
    StartWith("31400-flashopen\r\n");
    Box("chkDownEE2clearAll").setChecked(true);
    EXPECT_TRUE(Shown(Box("chkFlashDown")));
    EXPECT_TRUE(Box("chkFlashDown").isChecked());
    EXPECT_TRUE(Shown(Box("chkEE2Down")));
    EXPECT_TRUE(PageRangeShown());
}
