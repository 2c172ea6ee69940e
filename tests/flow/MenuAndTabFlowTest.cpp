#include <QProgressBar>
#include <gtest/gtest.h>

#include <string>

#include "AppRig.h"

namespace {

const std::string kTitle = "UpLoad 31400-31420-27510-27520 V1.11  25/07/25 ";

// A window with every tab offered.
struct AllTabs : ::testing::Test {
    AppRig rig{{1, 5}};
    void SetUp() override
    {
        rig.WriteConfig("31400-paramedit\r\n31400-WlanOps\r\n");
        ASSERT_TRUE(rig.Start());
    }
    QAction& Entry(const char* name) { return rig.Control<QAction>(name); }
    bool BaudMenuShown() { return rig.Control<QMenu>("mnuBaudrate").menuAction()->isVisible(); }
    std::string Panel(int n) { return rig.Control<QLabel>(("StatusBar1Panel" + std::to_string(n)).c_str()).text().toStdString(); }
    std::string Title() { return rig.form->windowTitle().toStdString(); }
    void GoTo(int tab) { rig.form->SSTab1->setCurrentIndex(tab); }

    void ExpectInstrumentSpeed()
    {
        EXPECT_EQ(rig.link.BaudText, "115200");
        EXPECT_TRUE(Entry("mnu115200").isChecked());
        EXPECT_FALSE(Entry("mnu57600").isChecked());
        EXPECT_FALSE(BaudMenuShown());
        EXPECT_EQ(Panel(2), "Baud: 115200");
    }
};

}  // namespace

TEST_F(AllTabs, UploadTabOffersTheSpeedMenuAndStartsAt57600)
{
    EXPECT_EQ(rig.link.BaudText, "57600");
    EXPECT_TRUE(Entry("mnu57600").isChecked());
    EXPECT_FALSE(Entry("mnu115200").isChecked());
    EXPECT_TRUE(BaudMenuShown());
    EXPECT_EQ(Panel(2), "Baud: 57600");
    EXPECT_EQ(Title(), kTitle + "  Upload firmware");
}

TEST_F(AllTabs, EveryOtherTabWorksAt115200WithoutTheSpeedMenu)
{
    GoTo(1);
    ExpectInstrumentSpeed();
    EXPECT_EQ(Title(), kTitle + "  Download data memory");
    EXPECT_EQ(rig.Control<StatusBox>("txtDownStatus").Text(),
              "1. Connect K4410 cable to the device\r\n2. Switch ON the device");

    GoTo(2);
    ExpectInstrumentSpeed();
    EXPECT_EQ(Title(), kTitle + "  Write parameter");

    GoTo(3);
    ExpectInstrumentSpeed();
    EXPECT_EQ(Title(), kTitle + "  Service");

    GoTo(0);
    EXPECT_EQ(rig.link.BaudText, "57600");
    EXPECT_TRUE(BaudMenuShown());
    EXPECT_EQ(Title(), kTitle + "  Upload firmware");
}

TEST_F(AllTabs, SpeedChosenOnUploadTabIsDroppedWhenLeavingIt)
{
    Entry("mnu115200").trigger();
    EXPECT_EQ(rig.link.BaudText, "115200");
    EXPECT_EQ(Panel(2), "Baud: 115200");
    EXPECT_TRUE(Entry("mnu115200").isChecked());
    EXPECT_FALSE(Entry("mnu57600").isChecked());

    Entry("mnu57600").trigger();
    EXPECT_EQ(rig.link.BaudText, "57600");
    EXPECT_EQ(Panel(2), "Baud: 57600");
    EXPECT_TRUE(Entry("mnu57600").isChecked());
    EXPECT_FALSE(Entry("mnu115200").isChecked());

    GoTo(1);
    ExpectInstrumentSpeed();

    // Coming back with 115200 chosen before leaving still starts at 57600.
    GoTo(0);
    Entry("mnu115200").trigger();
    GoTo(2);
    GoTo(0);
    EXPECT_EQ(rig.link.BaudText, "57600");
}

TEST_F(AllTabs, ClickingTheTickedSpeedKeepsItTicked)
{
    Entry("mnu57600").trigger();
    EXPECT_TRUE(Entry("mnu57600").isChecked());
    EXPECT_FALSE(Entry("mnu115200").isChecked());
}

TEST_F(AllTabs, EnteringTheUploadTabAgainResetsItsLogProgressAndFile)
{
    auto& log = rig.Control<StatusBox>("txtProgStatus");
    auto& file = rig.Control<QLabel>("lblNomeFile");
    auto& bar = rig.Control<QProgressBar>("PrgBar1");
    auto& percent = rig.Control<QLabel>("lblPercUpload");
    rig.Control<QComboBox>("cmbUploadTipoStrum").setCurrentText("QSVERIFs-MAX");
    log.SetText("old log");
    file.setText("/fw/27510_V1.bin");
    bar.show();
    percent.show();

    GoTo(1);
    EXPECT_EQ(log.Text(), "old log");
    GoTo(0);

    EXPECT_EQ(log.Text(), "1. Connect Usb cable to the device\r\n2. Switch ON the device with xxx  \r\n    buttons pressed");
    EXPECT_EQ(file.text(), "");
    EXPECT_FALSE(Shown(bar));
    EXPECT_FALSE(Shown(percent));
}

TEST_F(AllTabs, EnteringTheDownMemTabHidesItsProgressBar)
{
    GoTo(1);
    auto& bar = rig.Control<QProgressBar>("PrgBar2");
    bar.show();
    rig.Control<StatusBox>("txtDownStatus").SetText("Download OK");
    GoTo(2);
    GoTo(1);
    EXPECT_FALSE(Shown(bar));
    EXPECT_EQ(rig.Control<StatusBox>("txtDownStatus").Text(),
              "1. Connect K4410 cable to the device\r\n2. Switch ON the device");
}

TEST_F(AllTabs, ChoosingCOMM5StoresAndShowsIt)
{
    Entry("mnuCOMM5").trigger();
    EXPECT_EQ(rig.link.CommPortNumber, 5);
    EXPECT_EQ(rig.SavedPort(), "5");
    EXPECT_EQ(Panel(1), "Port: COM5");
    EXPECT_EQ(Panel(2), "Baud: 57600");
    EXPECT_EQ(Panel(3), "");
    EXPECT_TRUE(Entry("mnuCOMM5").isChecked());
    EXPECT_FALSE(Entry("mnuCOMM1").isChecked());

    // A second click on the ticked entry keeps it ticked.
    Entry("mnuCOMM5").trigger();
    EXPECT_TRUE(Entry("mnuCOMM5").isChecked());

    Entry("mnuCOMM1").trigger();
    EXPECT_EQ(rig.SavedPort(), "1");
    EXPECT_EQ(Panel(1), "Port: COM1");
    EXPECT_FALSE(Entry("mnuCOMM5").isChecked());
    EXPECT_TRUE(Entry("mnuCOMM1").isChecked());
}

TEST_F(AllTabs, MenusCarryTheirCaptions)
{
    EXPECT_EQ(rig.Control<QMenu>("mnuSeriale").title(), "COMM");
    EXPECT_EQ(rig.Control<QMenu>("mnuBaudrate").title(), "Baudrate");
    EXPECT_EQ(rig.Control<QMenu>("mnuExitMenu").title(), "Exit !");
    EXPECT_EQ(Entry("mnuExit").text(), "Exit !");
    EXPECT_EQ(rig.Control<QMenu>("mnuSeriale").actions().size(), 15);
    for (int n = 1; n <= 15; ++n)
        EXPECT_EQ(Entry(("mnuCOMM" + std::to_string(n)).c_str()).text().toStdString(), "COMM" + std::to_string(n));
    EXPECT_EQ(Entry("mnu57600").text(), "57600");
    EXPECT_EQ(Entry("mnu115200").text(), "115200");
}

TEST_F(AllTabs, LockOtherTabsLeavesOnlyTheGivenTabEnabled)
{
    auto& tabs = rig.Control<QTabWidget>("SSTab1");
    GoTo(1);
    rig.form->LockOtherTabs(1);
    EXPECT_FALSE(tabs.isTabEnabled(0));
    EXPECT_TRUE(tabs.isTabEnabled(1));
    EXPECT_FALSE(tabs.isTabEnabled(2));
    EXPECT_FALSE(tabs.isTabEnabled(3));
    EXPECT_EQ(tabs.currentIndex(), 1);

    rig.form->UnlockAllTabs();
    for (int tab = 0; tab < 4; ++tab)
        EXPECT_TRUE(tabs.isTabEnabled(tab)) << tab;
}

TEST_F(AllTabs, ExitEntryClosesTheWindow)
{
    rig.form->show();
    ASSERT_TRUE(rig.form->isVisible());
    Entry("mnuExit").trigger();
    EXPECT_FALSE(rig.form->isVisible());
}
