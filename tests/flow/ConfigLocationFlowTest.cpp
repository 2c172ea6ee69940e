#include <QDir>
#include <gtest/gtest.h>

#include "AppRig.h"
#include "core/FeatureConfig.h"

namespace {

enum Place { kProgramFolder, kUserFolder, kSystemFolder };

}  // namespace

// The file is looked for beside the program, then in the user's folder, then in the system's; the
// first one found is used as it is, even when it switches nothing on. A folder named like the file
// ("/" here) is no file, and the search goes on past it.
TEST(ConfigurationPlaces, TheFirstFileFoundIsUsed)
{
    const struct {
        std::vector<std::pair<Place, std::string>> files;
        const char* tabs;  // Upload, Down mem, Param, Service shown
    } cases[] = {
        {{}, "1100"},
        {{{kProgramFolder, "31400-paramedit\r\n"}}, "1110"},
        {{{kUserFolder, "31400-WlanOps\n"}}, "1101"},
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
