#include <QProgressBar>
#include <gtest/gtest.h>

#include <string>

#include "AppRig.h"

namespace {

const std::string kTitle = "UpLoad 31400-31420-27510-27520 V1.11  25/07/25 ";
const std::string kDownMemHint = "1. Connect K4410 cable to the device\r\n2. Switch ON the device";

// A window with every tab offered.
struct AllTabs : ::testing::Test {
    AppRig rig{{1, 5}};
    void SetUp() override { rig.StartOn("31400-paramedit\r\n31400-WlanOps\r\n"); }
    QAction& Entry(const char* name) { return rig.Control<QAction>(name); }
    void GoTo(int tab) { rig.form->SSTab1->setCurrentIndex(tab); }

    // The speed, its ticks in the menu, the menu itself and the status panel, in one line.
    std::string Speed()
    {
        return rig.link.BaudText + (Entry("mnu57600").isChecked() ? " [57600]" : "") +
               (Entry("mnu115200").isChecked() ? " [115200]" : "") +
               (rig.Control<QMenu>("mnuBaudrate").menuAction()->isVisible() ? " menu" : "") + ", " + rig.Panel(2);
    }
};

}  // namespace

// Only the Upload tab offers the speed menu; it starts at 57600 there, and a speed chosen there is
// dropped on leaving it; every other tab works at 115200. Each step: a tab entered or an entry clicked.
TEST_F(AllTabs, SpeedAndTitleFollowTheTab)
{
    const char* titles[] = {"  Upload firmware", "  Download data memory", "  Write parameter", "  Service"};
    const std::string upload57600 = "57600 [57600] menu, Baud: 57600";
    const std::string upload115200 = "115200 [115200] menu, Baud: 115200";
    const std::string other = "115200 [115200], Baud: 115200";
    const struct {
        const char* step;  // "tab N" or an entry's name
        std::string speed;
    } steps[] = {
        {"tab 1", other},  {"tab 2", other},          {"tab 3", other},           {"tab 0", upload57600},
        {"mnu115200", upload115200},                  {"mnu57600", upload57600},  {"mnu57600", upload57600},
        {"mnu115200", upload115200},                  {"tab 2", other},           {"tab 0", upload57600},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        const std::string step = s.step;
        if (step.starts_with("tab "))
            GoTo(step.back() - '0');
        else
            Entry(s.step).trigger();
        EXPECT_EQ(Speed(), s.speed);
        EXPECT_EQ(rig.form->windowTitle().toStdString(), kTitle + titles[rig.form->SSTab1->currentIndex()]);
    }
}

TEST_F(AllTabs, EnteringATabAgainResetsItsLogAndProgress)
{
    auto& uploadLog = rig.Control<StatusBox>("txtProgStatus");
    auto& file = rig.Control<QLabel>("lblNomeFile");
    auto& uploadBar = rig.Control<QProgressBar>("PrgBar1");
    auto& percent = rig.Control<QLabel>("lblPercUpload");
    auto& downLog = rig.Control<StatusBox>("txtDownStatus");
    auto& downBar = rig.Control<QProgressBar>("PrgBar2");
    rig.Choose("cmbUploadTipoStrum", "QSVERIFs-MAX");
    uploadLog.SetText("old log");
    file.setText("/fw/27510_V1.bin");
    uploadBar.show();
    percent.show();

    GoTo(1);
    EXPECT_EQ(uploadLog.Text(), "old log") << "leaving a tab changes nothing on it";
    EXPECT_EQ(downLog.Text(), kDownMemHint);
    downBar.show();
    downLog.SetText("Download OK");
    GoTo(0);

    EXPECT_EQ(uploadLog.Text(), "1. Connect Usb cable to the device\r\n2. Switch ON the device with xxx  \r\n    buttons pressed");
    EXPECT_EQ(file.text(), "");
    EXPECT_FALSE(Shown(uploadBar));
    EXPECT_FALSE(Shown(percent));
    GoTo(1);
    EXPECT_FALSE(Shown(downBar));
    EXPECT_EQ(downLog.Text(), kDownMemHint);
}

TEST_F(AllTabs, ChoosingCOMM5StoresAndShowsIt)
{
    Entry("mnuCOMM5").trigger();
    EXPECT_EQ(rig.link.CommPortNumber, 5);
    EXPECT_EQ(rig.SavedPort(), "5");
    EXPECT_EQ(rig.Panel(1), "Port: COM5");
    EXPECT_EQ(rig.Panel(2), "Baud: 57600");
    EXPECT_EQ(rig.Panel(3), "");
    EXPECT_TRUE(Entry("mnuCOMM5").isChecked());
    EXPECT_FALSE(Entry("mnuCOMM1").isChecked());

    Entry("mnuCOMM5").trigger();
    EXPECT_TRUE(Entry("mnuCOMM5").isChecked()) << "a second click keeps the tick";

    Entry("mnuCOMM1").trigger();
    EXPECT_EQ(rig.SavedPort(), "1");
    EXPECT_EQ(rig.Panel(1), "Port: COM1");
    EXPECT_FALSE(Entry("mnuCOMM5").isChecked());
    EXPECT_TRUE(Entry("mnuCOMM1").isChecked());
}

TEST_F(AllTabs, ExitEntryClosesTheWindow)
{
    rig.form->show();
    ASSERT_TRUE(rig.form->isVisible());
    Entry("mnuExit").trigger();
    EXPECT_FALSE(rig.form->isVisible());
}
