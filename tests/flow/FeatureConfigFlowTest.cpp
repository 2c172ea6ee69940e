// The configuration file: where it is looked for, and what its lines switch on.
#include <QDir>
#include <gtest/gtest.h>

#include "AppRig.h"
#include "core/FeatureConfig.h"

namespace {

enum Place { kProgramFolder, kUserFolder, kSystemFolder };

}  // namespace

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
    const struct { std::string file; LocalDateTime now; std::vector<std::string> entries; const char* date; } cases[] = {
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

// Beside the program, then the user's folder, then the system's: the first file found is used as
// it is, even when it switches nothing on; a folder named like the file ("/" here) is no file.
TEST(ConfigurationPlaces, TheFirstFileFoundIsUsed)
{
    // The tabs Upload, Down mem, Param and Service shown.
    const struct { std::vector<std::pair<Place, std::string>> files; const char* tabs; } cases[] = {
        {{}, "1100"},
        {{{kSystemFolder, "31400-paramedit\n314x0-CalStmp\n"}}, "1111"},
        {{{kProgramFolder, "31400-WlanOps\r\n"}, {kUserFolder, "31400-paramedit\r\n"}, {kSystemFolder, "31400-paramedit\r\n"}}, "1101"},
        {{{kUserFolder, "31400-paramedit\n"}, {kSystemFolder, "31400-WlanOps\n"}}, "1110"},
        {{{kProgramFolder, ""}, {kUserFolder, "31400-paramedit\n"}}, "1100"},
        {{{kUserFolder, "# 31400-paramedit\n"}, {kSystemFolder, "31400-paramedit\n"}}, "1100"},
        {{{kProgramFolder, "/"}, {kUserFolder, "31400-paramedit\n"}}, "1110"},
    };
    for (const auto& c : cases) {
        QTemporaryDir root;
        std::vector<std::string> folders;
        for (const char* name : {"bin", "home-config", "etc"}) {
            QDir(root.path()).mkdir(name);
            folders.push_back(root.filePath(name).toStdString());
        }
        std::string story;
        for (const auto& [place, content] : c.files) {
            const std::string path = folders[place] + "/Config314x0.cfg";
            story += path.substr(root.path().size()) + " ";
            if (content == "/")
                ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path)));
            else
                WriteFileText(path, content);
        }
        SCOPED_TRACE(story);
        AppRig rig;
        rig.configFolders = folders;
        ASSERT_TRUE(rig.Start());
        std::string tabs;
        for (int tab = 0; tab < 4; ++tab)
            tabs += rig.TabShown(tab) ? '1' : '0';
        EXPECT_EQ(tabs, c.tabs);
        EXPECT_TRUE(rig.dialogs.messages.empty());
    }
}

TEST(ConfigurationPlaces, FoldersInSearchOrderOnEachSystem)
{
    const struct { OsFamily os; const char* user; std::vector<std::string> folders; } cases[] = {
        {OsFamily::Unix, "/home/tec/.config/servicetool", {"/opt/st/bin", "/home/tec/.config/servicetool", "/etc/servicetool"}},
        {OsFamily::Unix, "", {"/opt/st/bin", "/etc/servicetool"}},
        {OsFamily::Windows, "C:/Users/tec/AppData/Local/servicetool", {"/opt/st/bin", "C:/Users/tec/AppData/Local/servicetool"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConfigFolders("/opt/st/bin", c.user, c.os), c.folders) << c.user;
}
