#include <QEvent>
#include <QFontDatabase>
#include <QProgressBar>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppRig.h"
#include "link/Registry.h"

namespace {

const std::string kTextK = "1. Connect K4410 cable to the device\r\n2. Switch ON the device with Menu+GO\r\n    buttons pressed";

std::vector<int> VisibleCommEntries(const AppRig& rig)
{
    std::vector<int> visible;
    for (int n = 1; n <= 15; ++n)
        if (rig.Control<QAction>(("mnuCOMM" + std::to_string(n)).c_str()).isVisible())
            visible.push_back(n);
    return visible;
}

std::vector<int> TickedCommEntries(const AppRig& rig)
{
    std::vector<int> ticked;
    for (int n = 1; n <= 15; ++n)
        if (rig.Control<QAction>(("mnuCOMM" + std::to_string(n)).c_str()).isChecked())
            ticked.push_back(n);
    return ticked;
}

std::string PanelText(const AppRig& rig, int panel)
{
    return rig.Control<QLabel>(("StatusBar1Panel" + std::to_string(panel)).c_str()).text().toStdString();
}

// Records each text the notice window painted: what the technician could see.
class PaintedTexts : public QObject {
public:
    explicit PaintedTexts(frmAvviso& window) : window_(window) { window.installEventFilter(this); }
    std::vector<std::string> texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool newText = texts.empty() || texts.back() != window_.Message();
        if (watched == &window_ && event->type() == QEvent::Paint && newText)
            texts.push_back(window_.Message());
        return false;
    }

private:
    frmAvviso& window_;
};

}  // namespace

TEST(StartupFlow, SecondInstanceShowsMessageAndEndsBeforeTouchingAnyPort)
{
    AppRig rig({1, 2});
    EXPECT_FALSE(rig.Start(/*anotherInstanceRunning=*/true));

    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(rig.dialogs.messages[0].title, "MESSAGE");
    EXPECT_EQ(rig.dialogs.messages[0].text, "Application just running !!!");
    EXPECT_EQ(rig.port.Opens(), 0);
    EXPECT_TRUE(rig.settings.values.empty());
}

TEST(StartupFlow, NoSerialPortEndsWithMessage)
{
    AppRig rig(std::set<int>{});
    EXPECT_FALSE(rig.Start());

    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(rig.dialogs.messages[0].title, "MESSAGE");
    EXPECT_EQ(rig.dialogs.messages[0].text, "No Serial COM port found !!\r\n\r\nUnable to continue");
    EXPECT_EQ(rig.form->Avviso->Message(), "Research available COM\r\nfound: 0");
    EXPECT_FALSE(rig.form->Avviso->isVisible());
    EXPECT_EQ(rig.SavedPort(), "<none>");
}

TEST(StartupFlow, SavedPortAmongFoundPortsIsSelected)
{
    AppRig rig({3, 7});
    rig.SavePort("7");
    ASSERT_TRUE(rig.Start());

    EXPECT_TRUE(rig.dialogs.messages.empty());
    EXPECT_EQ(rig.link.CommPortNumber, 7);
    EXPECT_EQ(rig.SavedPort(), "7");
    EXPECT_EQ(VisibleCommEntries(rig), (std::vector<int>{3, 7}));
    EXPECT_EQ(TickedCommEntries(rig), (std::vector<int>{7}));
    EXPECT_EQ(PanelText(rig, 1), "Port: COM7");
    EXPECT_EQ(PanelText(rig, 2), "Baud: 57600");
    EXPECT_EQ(PanelText(rig, 3), "");
    // Each found port was opened once by its probe and closed again.
    EXPECT_EQ(rig.port.Opens(), 2);
    EXPECT_FALSE(rig.port.IsOpen());
}

TEST(StartupFlow, SavedPortMissingSelectsAndSavesFirstFound)
{
    AppRig rig({3});
    rig.SavePort("7");
    ASSERT_TRUE(rig.Start());

    EXPECT_EQ(rig.link.CommPortNumber, 3);
    EXPECT_EQ(rig.SavedPort(), "3");
    EXPECT_EQ(VisibleCommEntries(rig), (std::vector<int>{3}));
    EXPECT_EQ(TickedCommEntries(rig), (std::vector<int>{3}));
    EXPECT_EQ(PanelText(rig, 1), "Port: COM3");
}

TEST(StartupFlow, PortHeldByAnotherProgramIsNotOffered)
{
    AppRig rig({3, 7});
    rig.port.SetBusy(7, true);
    rig.SavePort("7");
    ASSERT_TRUE(rig.Start());

    EXPECT_TRUE(rig.dialogs.messages.empty());
    EXPECT_EQ(rig.link.CommPortNumber, 3);
    EXPECT_EQ(rig.SavedPort(), "3");
    EXPECT_EQ(VisibleCommEntries(rig), (std::vector<int>{3}));
    EXPECT_EQ(rig.form->Avviso->Message(), "Research available COM\r\nfound: 1");
}

TEST(StartupFlow, NoSavedEntryTakesPort1WhenPresent)
{
    AppRig rig({1, 4});
    ASSERT_TRUE(rig.Start());

    EXPECT_EQ(rig.link.CommPortNumber, 1);
    EXPECT_EQ(rig.SavedPort(), "1");
    EXPECT_EQ(VisibleCommEntries(rig), (std::vector<int>{1, 4}));
    EXPECT_EQ(TickedCommEntries(rig), (std::vector<int>{1}));
    EXPECT_EQ(PanelText(rig, 1), "Port: COM1");
}

TEST(StartupFlow, NoSavedEntryWithoutPort1TakesFirstFoundAndHidesCOMM1)
{
    AppRig rig({4, 9});
    ASSERT_TRUE(rig.Start());

    EXPECT_EQ(rig.link.CommPortNumber, 4);
    EXPECT_EQ(rig.SavedPort(), "4");
    EXPECT_EQ(VisibleCommEntries(rig), (std::vector<int>{4, 9}));
    EXPECT_EQ(TickedCommEntries(rig), (std::vector<int>{4}));
}

TEST(StartupFlow, UnreadableSavedPortFallsBackToFirstFound)
{
    AppRig rig({2, 15});
    rig.SavePort("abc");
    ASSERT_TRUE(rig.Start());

    EXPECT_EQ(rig.link.CommPortNumber, 2);
    EXPECT_EQ(rig.SavedPort(), "2");
}

TEST(StartupFlow, NoticeWindowShowsEveryProbeThenTheCountForOneSecond)
{
    AppRig rig({2, 5});
    rig.Make();
    PaintedTexts painted(*rig.form->Avviso);
    ASSERT_TRUE(rig.Start());

    std::vector<std::string> expected{"Research available COM"};
    int found = 0;
    for (int n = 1; n <= 15; ++n) {
        found += (n == 2 || n == 5) ? 1 : 0;
        expected.push_back("Research available COM\r\nCOM" + std::to_string(n) + "  (found: " + std::to_string(found) + ")");
    }
    expected.push_back("Research available COM\r\nfound: 2");
    EXPECT_EQ(painted.texts, expected);
    EXPECT_EQ(rig.form->Avviso->Message(), "Research available COM\r\nfound: 2");
    EXPECT_EQ(rig.form->Avviso->windowTitle(), "Available COM");
    EXPECT_FALSE(rig.form->Avviso->isVisible());
    // The count stays up for one second of the program's clock.
    EXPECT_GE(rig.host.Now(), 1.0);
}

TEST(StartupFlow, WindowIsReadyOnTheUploadTabWithEveryStartValue)
{
    AppRig rig({1});
    ASSERT_TRUE(rig.Start());
    Form1& form = *rig.form;

    EXPECT_EQ(form.objectName(), "Form1");
    EXPECT_EQ(form.windowTitle().toStdString(), "UpLoad 31400-31420-27510-27520 V1.11  25/07/25   Upload firmware");
    auto& tabs = rig.Control<QTabWidget>("SSTab1");
    ASSERT_EQ(tabs.count(), 4);
    const std::vector<std::string> captions{"Upload", "Down mem", "Param", "Service"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(tabs.tabText(i).toStdString(), captions[static_cast<std::size_t>(i)]);
    EXPECT_EQ(tabs.currentIndex(), 0);
    EXPECT_TRUE(rig.TabShown(0));
    EXPECT_TRUE(rig.TabShown(1));
    EXPECT_FALSE(rig.TabShown(2));
    EXPECT_FALSE(rig.TabShown(3));

    // Upload tab
    auto& targets = rig.Control<QComboBox>("cmbUploadTipoStrum");
    ASSERT_EQ(targets.count(), static_cast<int>(FirmwareTargets().size()));
    for (int i = 0; i < targets.count(); ++i)
        EXPECT_EQ(targets.itemText(i).toStdString(), FirmwareTargets()[static_cast<std::size_t>(i)]);
    EXPECT_EQ(targets.currentIndex(), 0);
    EXPECT_FALSE(rig.Control<QPushButton>("CmdStartProg").isEnabled());
    EXPECT_FALSE(Shown(rig.Control<QProgressBar>("PrgBar1")));
    EXPECT_FALSE(Shown(rig.Control<QLabel>("lblPercUpload")));
    EXPECT_EQ(rig.Control<StatusBox>("txtProgStatus").Text(), kTextK);
    EXPECT_EQ(rig.link.BaudText, "57600");
    EXPECT_TRUE(rig.Control<QAction>("mnu57600").isChecked());
    EXPECT_FALSE(rig.Control<QAction>("mnu115200").isChecked());
    EXPECT_TRUE(rig.Control<QMenu>("mnuBaudrate").menuAction()->isVisible());

    // Down mem tab: only Info and Download offered; hidden boxes keep their ticks.
    EXPECT_EQ(rig.Control<QPushButton>("cmdDownDwData").text(), "Download");
    EXPECT_EQ(rig.Control<QPushButton>("cmdDownUpData").text(), "Upload");
    EXPECT_TRUE(Shown(rig.Control<QPushButton>("cmdDownInfo")));
    EXPECT_TRUE(Shown(rig.Control<QPushButton>("cmdDownDwData")));
    for (const char* name : {"cmdDownUpData", "txtDownDaPag", "txtDownaPag", "lblDownDa", "lblDownA", "chkFlashDown",
                             "chkEE2Down", "chkDownALLdata", "chkDownEE2clearAll", "chkDownE2WriteNumRec", "PrgBar2"})
        EXPECT_FALSE(Shown(rig.Control<QWidget>(name))) << name;
    for (const char* name : {"chkEE2Down", "chkFlashDown", "chkDownALLdata", "chkDownE2WriteNumRec"})
        EXPECT_TRUE(rig.Control<QCheckBox>(name).isChecked()) << name;
    EXPECT_FALSE(rig.Control<QCheckBox>("chkDownEE2clearAll").isChecked());
    EXPECT_EQ(rig.Control<QLineEdit>("txtDownDaPag").text(), "0");
    EXPECT_EQ(rig.Control<QLineEdit>("txtDownaPag").text(), "2047");

    // Param tab: first family loaded.
    auto& families = rig.Control<QComboBox>("cmbParamTipoStrum");
    ASSERT_EQ(families.count(), 2);
    EXPECT_EQ(families.itemText(0), "31400 QMX, VERTA");
    EXPECT_EQ(families.itemText(1), "31420 QS-LUMPROB");
    EXPECT_EQ(families.currentIndex(), 0);
    EXPECT_EQ(rig.Control<QScrollBar>("HScroll1").maximum(), 204);
    ParamCatalogue reference;
    reference.LoadFamily("31400 QMX, VERTA");
    EXPECT_EQ(rig.Control<QLabel>("lblTipoParm").text(), QString::fromStdString(reference.Description(0)));

    // Service tab: no command without the configuration file.
    EXPECT_EQ(rig.Control<QComboBox>("cmbService").count(), 0);

    for (const char* name : {"txtProgStatus", "txtDownStatus", "txtParamStatus", "txtService"})
        EXPECT_EQ(rig.Control<StatusBox>(name).font(), QFontDatabase::systemFont(QFontDatabase::FixedFont)) << name;
}
