#include <QTextDocument>
#include <gtest/gtest.h>

#include "AppRig.h"

namespace {

// A window with every tab offered: the menus, the tabs and the status boxes.
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
    StatusBox& Box(const char* name) { return rig.Control<StatusBox>(name); }
};
using StatusBoxes = AllTabs;

}  // namespace

// Only the Upload tab offers the speed menu; it starts at 57600 there, and a speed chosen there is
// dropped on leaving it; every other tab works at 115200. Each step: a tab entered or an entry clicked.
TEST_F(AllTabs, SpeedAndTitleFollowTheTab)
{
    const char* titles[] = {"  Upload firmware", "  Download data memory", "  Write parameter", "  Service"};
    const std::string upload57600 = "57600 [57600] menu, Baud: 57600";
    const std::string upload115200 = "115200 [115200] menu, Baud: 115200";
    const std::string other = "115200 [115200], Baud: 115200";
    const std::pair<std::string, std::string> steps[] = {
        {"tab 1", other},  {"tab 2", other},          {"tab 3", other},           {"tab 0", upload57600},
        {"mnu115200", upload115200},                  {"mnu57600", upload57600},  {"mnu57600", upload57600},
        {"mnu115200", upload115200},                  {"tab 2", other},           {"tab 0", upload57600},
    };
    for (const auto& [step, speed] : steps) {
        SCOPED_TRACE(step);
        if (step.starts_with("tab "))
            GoTo(step.back() - '0');
        else
            Entry(step.c_str()).trigger();
        EXPECT_EQ(Speed(), speed);
        EXPECT_EQ(rig.form->windowTitle().toStdString(),
                  std::string("UpLoad 31400-31420-27510-27520 V1.11  25/07/25 ") + titles[rig.form->SSTab1->currentIndex()]);
    }
}

// CR LF is one line break on screen and kept in the text; texts with accents show as written, and
// pieces appended show as the whole text would.
TEST_F(StatusBoxes, LineBreaksAndAccentsShowAsWritten)
{
    for (const char* name : {"txtProgStatus", "txtDownStatus", "txtParamStatus", "txtService"}) {
        SCOPED_TRACE(name);
        StatusBox& box = Box(name);
        box.SetText(" Serial error !!\r\n\r\n  Check connection. N\xC2\xB0 3  accetabilit\xC3\xA0");
        EXPECT_EQ(box.Text(), " Serial error !!\r\n\r\n  Check connection. N\xC2\xB0 3  accetabilit\xC3\xA0");
        EXPECT_EQ(box.toPlainText(), QString::fromUtf8(" Serial error !!\n\n  Check connection. N° 3  accetabilità"));
        EXPECT_EQ(box.document()->blockCount(), 3);
    }
    StatusBox& box = Box("txtDownStatus");
    box.SetText("EEprom");
    for (const char* piece : {" OK\r", "\nPage 1\r\n", "Page 2"})
        box.Append(piece);
    EXPECT_EQ(box.Text(), "EEprom OK\r\nPage 1\r\nPage 2");
    EXPECT_EQ(box.toPlainText().toStdString(), "EEprom OK\nPage 1\nPage 2");
}

TEST_F(StatusBoxes, UploadAndDownMemLogsKeepTheCaretAtTheEnd)
{
    for (const char* name : {"txtProgStatus", "txtDownStatus"}) {
        SCOPED_TRACE(name);
        StatusBox& box = Box(name);
        const auto end = [&] { return box.document()->characterCount() - 1; };
        box.SetText("first line\r\nsecond line\r\n");
        EXPECT_EQ(box.textCursor().position(), end());
        box.moveCursor(QTextCursor::Start);
        box.Append("third line\r\n");
        EXPECT_GT(end(), 0);
        EXPECT_EQ(box.textCursor().position(), end());
        box.moveCursor(QTextCursor::Start);
        box.SetText("short");
        EXPECT_EQ(box.textCursor().position(), 5);
    }
}
