#include <QFontDatabase>
#include <gtest/gtest.h>

#include "AppRig.h"

namespace {

// The numbers of the "COMM" entries for which `has` holds (visible, checked).
std::vector<int> CommEntries(const AppRig& rig, bool (QAction::*has)() const)
{
    std::vector<int> numbers;
    for (int n = 1; n <= 15; ++n)
        if ((rig.form->CommEntry(n)->*has)())
            numbers.push_back(n);
    return numbers;
}

}  // namespace

TEST(StartupFlow, PortChoiceFollowsTheSavedPortAndThePortsFound)
{
    const struct { std::set<int> ports; int busy; const char* saved; int chosen; std::vector<int> offered; } cases[] = {
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
        EXPECT_EQ(rig.Panel(1) + ", " + rig.Panel(2) + ", " + rig.Panel(3),
                  "Port: COM" + std::to_string(c.chosen) + ", Baud: 57600, ");
        EXPECT_EQ(rig.form->Avviso->Message(), "Research available COM\r\nfound: " + std::to_string(c.offered.size()));
        // Each port found was opened once by its probe and closed again.
        EXPECT_EQ(rig.port.Opens(), static_cast<int>(c.offered.size()));
        EXPECT_FALSE(rig.port.IsOpen());
    }
}

// The Upload tab at 57600 with its hint and its button off, the status boxes in a fixed font.
TEST(StartupFlow, WindowIsReadyOnTheUploadTabWithEveryStartValue)
{
    AppRig rig({1});
    ASSERT_TRUE(rig.Start());
    EXPECT_EQ(rig.form->windowTitle().toStdString(), "UpLoad 31400-31420-27510-27520 V1.11  25/07/25   Upload firmware");
    EXPECT_FALSE(rig.Control<QPushButton>("CmdStartProg").isEnabled());
    EXPECT_EQ(rig.Control<StatusBox>("txtProgStatus").Text(),
              "1. Connect K4410 cable to the device\r\n2. Switch ON the device with Menu+GO\r\n    buttons pressed");
    EXPECT_TRUE(rig.link.BaudText == "57600" && rig.Control<QAction>("mnu57600").isChecked());
    for (const char* name : {"txtProgStatus", "txtDownStatus", "txtParamStatus", "txtService"})
        EXPECT_EQ(rig.Control<StatusBox>(name).font(), QFontDatabase::systemFont(QFontDatabase::FixedFont)) << name;
}
