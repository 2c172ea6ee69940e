// The window's file dialogs as QtDialogs sets them up: the filters each offers.
#include <gtest/gtest.h>

#include "core/Questions.h"
#include "platform/QtDialogs.h"

namespace {

FileDialogRequest RequestOf(const Question& question)
{
    return FileDialogOf(question)->request;
}

}  // namespace

// Files named on Windows, where letter case does not count: on Linux every letter of a pattern is
// given in either case, on Windows the patterns stay as they are; the descriptions are the tool's.
TEST(FileDialogFilters, PatternsMatchEitherCaseOnLinuxAndStayAsTheyAreOnWindows)
{
    const struct { std::string filter; std::string onLinux, onWindows; } cases[] = {
        {RequestOf(question::UploadImage{"", true, true}).filter,
         "File EE2 (*.epr) (*.[eE][pP][rR]);;File flash (*.fla) (*.[fF][lL][aA])",
         "File EE2 (*.epr) (*.epr);;File flash (*.fla) (*.fla)"},
        {RequestOf(question::LoadRegisterFile{""}).filter,
         "Wifi register file (*_wifi.txt) (*_[wW][iI][fF][iI].[tT][xX][tT])", "Wifi register file (*_wifi.txt) (*_wifi.txt)"},
        {"Data file | *.*", "Data file (*.*)", "Data file (*.*)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QtDialogs::QtFilter(c.filter, OsFamily::Unix).toStdString(), c.onLinux);
        EXPECT_EQ(QtDialogs::QtFilter(c.filter, OsFamily::Windows).toStdString(), c.onWindows);
    }
}
