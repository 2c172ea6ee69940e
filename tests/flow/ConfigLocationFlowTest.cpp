#include <QDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppRig.h"
#include "core/FeatureConfig.h"

namespace {

enum Place { kProgramFolder, kUserFolder, kSystemFolder };

// Three folders standing for the program's, the user's and the system's configuration folders.
struct ConfigPlaces {
    QTemporaryDir root;
    std::vector<std::string> folders;

    ConfigPlaces()
    {
        for (const char* name : {"bin", "home-config", "etc"}) {
            QDir(root.path()).mkdir(name);
            folders.push_back(root.filePath(name).toStdString());
        }
    }
    void Write(Place place, const std::string& content) const { WriteFileText(folders[place] + "/Config314x0.cfg", content); }
};

}  // namespace

// The file is looked for beside the program, then in the user's folder, then in the system's;
// the first one found is used as it is, even when it switches nothing on.
TEST(ConfigurationPlaces, TheFirstFileFoundIsUsed)
{
    const struct {
        const char* story;
        std::vector<std::pair<Place, std::string>> files;
        const char* tabs;  // Upload, Down mem, Param, Service shown
    } cases[] = {
        {"nowhere", {}, "1100"},
        {"beside the program", {{kProgramFolder, "31400-paramedit\r\n"}}, "1110"},
        {"user's folder", {{kUserFolder, "31400-WlanOps\n"}}, "1101"},
        {"system folder", {{kSystemFolder, "31400-paramedit\n314x0-CalStmp\n"}}, "1111"},
        {"beside the program wins over both others",
         {{kProgramFolder, "31400-WlanOps\r\n"}, {kUserFolder, "31400-paramedit\r\n"}, {kSystemFolder, "31400-paramedit\r\n"}},
         "1101"},
        {"user's folder wins over the system's", {{kUserFolder, "31400-paramedit\n"}, {kSystemFolder, "31400-WlanOps\n"}}, "1110"},
        {"an empty file beside the program is the one used", {{kProgramFolder, ""}, {kUserFolder, "31400-paramedit\n"}}, "1100"},
        {"a file without keywords in the user's folder hides the system's",
         {{kUserFolder, "# 31400-paramedit\n"}, {kSystemFolder, "31400-paramedit\n"}}, "1100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        ConfigPlaces places;
        for (const auto& [place, content] : c.files)
            places.Write(place, content);
        AppRig rig;
        rig.configFolders = places.folders;
        ASSERT_TRUE(rig.Start());
        std::string tabs;
        for (int tab = 0; tab < 4; ++tab)
            tabs += rig.TabShown(tab) ? '1' : '0';
        EXPECT_EQ(tabs, c.tabs);
        EXPECT_TRUE(rig.dialogs.messages.empty());
    }
}

// A folder named like the file is not a configuration file; the search goes on past it.
TEST(ConfigurationPlaces, AFolderNamedLikeTheFileIsSkipped)
{
    ConfigPlaces places;
    ASSERT_TRUE(QDir(QString::fromStdString(places.folders[kProgramFolder])).mkdir("Config314x0.cfg"));
    places.Write(kUserFolder, "31400-paramedit\n");
    EXPECT_EQ(FindConfigFile(places.folders), places.folders[kUserFolder] + "/Config314x0.cfg");

    AppRig rig;
    rig.configFolders = places.folders;
    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(rig.TabShown(kParamTab));
}

TEST(ConfigurationPlaces, FoldersInSearchOrderOnEachSystem)
{
    const struct {
        OsFamily os;
        const char* user;
        std::vector<std::string> folders;
    } cases[] = {
        {OsFamily::Unix, "/home/tec/.config/servicetool", {"/opt/st/bin", "/home/tec/.config/servicetool", "/etc/servicetool"}},
        {OsFamily::Unix, "", {"/opt/st/bin", "/etc/servicetool"}},
        {OsFamily::Windows, "C:/Users/tec/AppData/Local/servicetool",
         {"/opt/st/bin", "C:/Users/tec/AppData/Local/servicetool"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user);
        EXPECT_EQ(ConfigFolders("/opt/st/bin", c.user, c.os), c.folders);
    }
}
