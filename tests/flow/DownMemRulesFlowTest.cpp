#include <gtest/gtest.h>

#include <string>

#include "AppRig.h"

namespace {

// The Down mem tab with the options the configuration file offers.
struct DownMemOptions : ::testing::Test {
    AppRig rig;
    void StartWith(const std::string& config)
    {
        rig.WriteConfig(config);
        ASSERT_TRUE(rig.Start());
        rig.form->SSTab1->setCurrentIndex(1);
    }
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

TEST_F(DownMemOptions, FlashTickShowsAndHidesThePageRange)
{
    StartWith(kFlashAndClearAll);
    ASSERT_TRUE(PageRangeShown());

    Box("chkFlashDown").click();
    EXPECT_FALSE(Box("chkFlashDown").isChecked());
    EXPECT_FALSE(PageRangeShown());

    Box("chkFlashDown").click();
    EXPECT_TRUE(Box("chkFlashDown").isChecked());
    EXPECT_TRUE(PageRangeShown());
}

TEST_F(DownMemOptions, TickSetByTheProgramRunsTheRuleAsAClickDoes)
{
    StartWith(kFlashAndClearAll);
    Box("chkFlashDown").setChecked(false);
    EXPECT_FALSE(PageRangeShown());
    Box("chkFlashDown").setChecked(true);
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

    Box("chkDownALLdata").click();
    EXPECT_TRUE(Box("chkEE2Down").isChecked());
    EXPECT_FALSE(Box("chkEE2Down").isEnabled());
    EXPECT_TRUE(Box("chkFlashDown").isChecked());
    EXPECT_FALSE(Box("chkFlashDown").isEnabled());
    // The Flash tick set here ran the Flash rule.
    EXPECT_TRUE(PageRangeShown());
    EXPECT_FALSE(Field("txtDownDaPag").isEnabled());
    EXPECT_FALSE(Field("txtDownaPag").isEnabled());
    EXPECT_EQ(Field("txtDownDaPag").text(), "12");
    EXPECT_EQ(Field("txtDownaPag").text(), "40");

    Box("chkDownALLdata").click();
    EXPECT_TRUE(Box("chkEE2Down").isChecked());
    EXPECT_TRUE(Box("chkEE2Down").isEnabled());
    EXPECT_TRUE(Box("chkFlashDown").isChecked());
    EXPECT_TRUE(Box("chkFlashDown").isEnabled());
    EXPECT_TRUE(Field("txtDownDaPag").isEnabled());
    EXPECT_TRUE(Field("txtDownaPag").isEnabled());
    EXPECT_EQ(Field("txtDownDaPag").text(), "0");
    EXPECT_EQ(Field("txtDownaPag").text(), "2047");
    EXPECT_TRUE(PageRangeShown());
}

TEST_F(DownMemOptions, ClearAllLeavesOnlyItselfAndGivesEverythingBackWhenUnticked)
{
    StartWith(kFlashAndClearAll);

    Box("chkDownEE2clearAll").click();
    EXPECT_FALSE(Box("chkFlashDown").isChecked());
    EXPECT_FALSE(Shown(Box("chkFlashDown")));
    EXPECT_FALSE(Shown(Box("chkEE2Down")));
    EXPECT_FALSE(Shown(Box("chkDownE2WriteNumRec")));
    // Unticking Flash ran the Flash rule.
    EXPECT_FALSE(PageRangeShown());

    Box("chkDownEE2clearAll").click();
    EXPECT_TRUE(Shown(Box("chkFlashDown")));
    EXPECT_TRUE(Box("chkFlashDown").isChecked());
    EXPECT_TRUE(Shown(Box("chkEE2Down")));
    EXPECT_TRUE(Shown(Box("chkDownE2WriteNumRec")));
    EXPECT_TRUE(PageRangeShown());
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

TEST_F(DownMemOptions, ControlsCarryTheirCaptions)
{
    StartWith(kFlashAndClearAll);
    EXPECT_EQ(rig.Control<QPushButton>("cmdDownInfo").text(), "Info");
    EXPECT_EQ(Box("chkEE2Down").text(), "EEprom");
    EXPECT_EQ(Box("chkFlashDown").text(), "Flash");
    EXPECT_EQ(Box("chkDownALLdata").text(), "Flash #MIS only");
    EXPECT_EQ(Box("chkDownE2WriteNumRec").text(), "EE  #MIS only");
    EXPECT_EQ(Box("chkDownEE2clearAll").text(), "EE clear ALL 0xFF");
    EXPECT_EQ(rig.Control<QLabel>("lblDownDa").text(), "from");
    EXPECT_EQ(rig.Control<QLabel>("lblDownA").text(), "to [2047]");
}
