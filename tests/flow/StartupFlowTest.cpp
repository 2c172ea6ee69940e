#include <QEvent>
#include <QFontDatabase>
#include <QProgressBar>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppRig.h"

namespace {

// The numbers of the "COMM" entries for which `has` holds (visible, checked).
std::vector<int> CommEntries(const AppRig& rig, bool (QAction::*has)() const)
{
    std::vector<int> numbers;
    for (int n = 1; n <= 15; ++n)
        if ((rig.Control<QAction>(("mnuCOMM" + std::to_string(n)).c_str()).*has)())
            numbers.push_back(n);
    return numbers;
}

// Records each text the notice window painted: what the technician could see.
class PaintedTexts : public QObject {
public:
    explicit PaintedTexts(frmAvviso& window) : window_(window) { window.installEventFilter(this); }
    std::vector<std::string> texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window_ && event->type() == QEvent::Paint && (texts.empty() || texts.back() != window_.Message()))
            texts.push_back(window_.Message());
        return false;
    }

private:
    frmAvviso& window_;
};

}  // namespace

TEST(StartupFlow, SecondInstanceOrNoPortEndsWithAMessage)
{
    for (const bool secondInstance : {true, false}) {
        SCOPED_TRACE(secondInstance ? "second instance" : "no port");
        AppRig rig(secondInstance ? std::set<int>{1, 2} : std::set<int>{});
        EXPECT_FALSE(rig.Start(secondInstance));

        ASSERT_EQ(rig.dialogs.messages.size(), 1u);
        EXPECT_EQ(rig.dialogs.messages[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(rig.dialogs.messages[0].title, "MESSAGE");
        EXPECT_EQ(rig.dialogs.messages[0].text, secondInstance ? "Application just running !!!"
                                                               : "No Serial COM port found !!\r\n\r\nUnable to continue");
        // A second instance touches no port at all.
        EXPECT_EQ(rig.form->Avviso->Message(), secondInstance ? "" : "Research available COM\r\nfound: 0");
        EXPECT_FALSE(rig.form->Avviso->isVisible());
        EXPECT_EQ(rig.port.Opens(), 0);
        EXPECT_TRUE(rig.settings.values.empty()) << "no port is saved";
    }
}

TEST(StartupFlow, PortChoiceFollowsTheSavedPortAndThePortsFound)
{
    const struct {
        std::set<int> ports;
        int busy;
        const char* saved;
        int chosen;
        std::vector<int> offered;
    } cases[] = {
        {{3, 7}, 0, "7", 7, {3, 7}},      // the saved port is there
        {{3}, 0, "7", 3, {3}},            // it is gone: the first port found, saved in its place
        {{3, 7}, 7, "7", 3, {3}},         // it is held by another program: not offered
        {{1, 4}, 0, nullptr, 1, {1, 4}},  // nothing saved: port 1
        {{4, 9}, 0, nullptr, 4, {4, 9}},  // nothing saved and no port 1: COMM1 hidden
        {{2, 15}, 0, "abc", 2, {2, 15}},  // a saved text that is no number
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("first port found " + std::to_string(*c.ports.begin()) + ", saved " + (c.saved ? c.saved : "nothing"));
        AppRig rig(c.ports);
        if (c.busy)
            rig.port.SetBusy(c.busy, true);
        if (c.saved)
            rig.SavePort(c.saved);
        ASSERT_TRUE(rig.Start());

        EXPECT_TRUE(rig.dialogs.messages.empty());
        EXPECT_EQ(rig.link.CommPortNumber, c.chosen);
        EXPECT_EQ(rig.SavedPort(), std::to_string(c.chosen));
        EXPECT_EQ(CommEntries(rig, &QAction::isVisible), c.offered);
        EXPECT_EQ(CommEntries(rig, &QAction::isChecked), std::vector<int>{c.chosen});
        EXPECT_EQ(rig.Panel(1), "Port: COM" + std::to_string(c.chosen));
        EXPECT_EQ(rig.Panel(2), "Baud: 57600");
        EXPECT_EQ(rig.Panel(3), "");
        EXPECT_EQ(rig.form->Avviso->Message(), "Research available COM\r\nfound: " + std::to_string(c.offered.size()));
        // Each port found was opened once by its probe and closed again.
        EXPECT_EQ(rig.port.Opens(), static_cast<int>(c.offered.size()));
        EXPECT_FALSE(rig.port.IsOpen());
    }
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
    EXPECT_EQ(rig.form->Avviso->windowTitle(), "Available COM");
    EXPECT_FALSE(rig.form->Avviso->isVisible());
    EXPECT_GE(rig.host.Now(), 1.0) << "the count stays up for one second of the program's clock";
}

TEST(StartupFlow, WindowIsReadyOnTheUploadTabWithEveryStartValue)
{
    AppRig rig({1});
    ASSERT_TRUE(rig.Start());
    Form1& form = *rig.form;
    const auto caption = [&](const char* name, const char* property = "text") {
        return rig.Control<QObject>(name).property(property).toString().toStdString();
    };

    EXPECT_EQ(form.objectName(), "Form1");
    EXPECT_EQ(form.windowTitle().toStdString(), "UpLoad 31400-31420-27510-27520 V1.11  25/07/25   Upload firmware");
    auto& tabs = rig.Control<QTabWidget>("SSTab1");
    ASSERT_EQ(tabs.count(), 4);
    const std::vector<std::string> tabCaptions{"Upload", "Down mem", "Param", "Service"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(tabs.tabText(i).toStdString(), tabCaptions[static_cast<std::size_t>(i)]);
    EXPECT_EQ(tabs.currentIndex(), 0);
    EXPECT_TRUE(rig.dialogs.messages.empty());

    // Menus and captions.
    for (const auto& [name, text] : std::vector<std::pair<const char*, const char*>>{
             {"mnuExit", "Exit !"}, {"mnu57600", "57600"}, {"mnu115200", "115200"}, {"cmdDownInfo", "Info"},
             {"cmdDownDwData", "Download"}, {"cmdDownUpData", "Upload"}, {"chkEE2Down", "EEprom"}, {"chkFlashDown", "Flash"},
             {"chkDownALLdata", "Flash #MIS only"}, {"chkDownE2WriteNumRec", "EE  #MIS only"},
             {"chkDownEE2clearAll", "EE clear ALL 0xFF"}, {"lblDownDa", "from"}, {"lblDownA", "to [2047]"},
             {"cmdParamReadSingle", "Read"}, {"cmdParamWriteSingle", "Write"}, {"cmdParamInfo", "Info"}})
        EXPECT_EQ(caption(name), text) << name;
    EXPECT_EQ(caption("mnuSeriale", "title"), "COMM");
    EXPECT_EQ(caption("mnuBaudrate", "title"), "Baudrate");
    EXPECT_EQ(caption("mnuExitMenu", "title"), "Exit !");
    EXPECT_EQ(rig.Control<QMenu>("mnuSeriale").actions().size(), 15);
    for (int n = 1; n <= 15; ++n)
        EXPECT_EQ(caption(("mnuCOMM" + std::to_string(n)).c_str()), "COMM" + std::to_string(n));

    // Upload tab at 57600, with the speed menu.
    EXPECT_EQ(rig.Items("cmbUploadTipoStrum"),
              (std::vector<std::string>{"QSLUM", "QS408t", "QMX-ARN", "VERTAPROB611", "BRISKCHK", "VERTA708", "VERTA710",
                                        "ULTRAVERTAs", "QMX-ARN+", "ZJ55391", "ZJ55392", "ZJ55393", "QSVERIFs-MAX",
                                        "QSVERIFs-MIN"}));
    EXPECT_EQ(rig.Control<QComboBox>("cmbUploadTipoStrum").currentIndex(), 0);
    EXPECT_FALSE(rig.Control<QPushButton>("CmdStartProg").isEnabled());
    EXPECT_FALSE(Shown(rig.Control<QProgressBar>("PrgBar1")));
    EXPECT_FALSE(Shown(rig.Control<QLabel>("lblPercUpload")));
    EXPECT_EQ(rig.Control<StatusBox>("txtProgStatus").Text(),
              "1. Connect K4410 cable to the device\r\n2. Switch ON the device with Menu+GO\r\n    buttons pressed");
    EXPECT_EQ(rig.link.BaudText, "57600");
    EXPECT_TRUE(rig.Control<QAction>("mnu57600").isChecked());
    EXPECT_FALSE(rig.Control<QAction>("mnu115200").isChecked());
    EXPECT_TRUE(rig.Control<QMenu>("mnuBaudrate").menuAction()->isVisible());

    // Down mem tab (its options: ConfigurationFile tests): only Info and Download offered.
    EXPECT_TRUE(Shown(rig.Control<QPushButton>("cmdDownInfo")));
    EXPECT_TRUE(Shown(rig.Control<QPushButton>("cmdDownDwData")));
    EXPECT_FALSE(Shown(rig.Control<QProgressBar>("PrgBar2")));

    // Param tab: first family loaded, nothing read yet.
    EXPECT_EQ(rig.Items("cmbParamTipoStrum"), (std::vector<std::string>{"31400 QMX, VERTA", "31420 QS-LUMPROB"}));
    EXPECT_EQ(rig.Control<QComboBox>("cmbParamTipoStrum").currentIndex(), 0);
    EXPECT_EQ(rig.Control<QScrollBar>("HScroll1").maximum(), 204);
    ParamCatalogue reference;
    reference.LoadFamily("31400 QMX, VERTA");
    EXPECT_EQ(rig.Control<QLabel>("lblTipoParm").text(), QString::fromStdString(reference.Description(0)));
    EXPECT_EQ(rig.Text("txtParValue"), "");
    EXPECT_EQ(rig.Control<StatusBox>("txtParamStatus").Text(), "");

    for (const char* name : {"txtProgStatus", "txtDownStatus", "txtParamStatus", "txtService"})
        EXPECT_EQ(rig.Control<StatusBox>(name).font(), QFontDatabase::systemFont(QFontDatabase::FixedFont)) << name;
}
