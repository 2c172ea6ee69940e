// The window's file dialogs as QtDialogs sets them up: the filters each offers, and the path given
// back.
#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include "core/Questions.h"
#include "link/InstrumentModels.h"
#include "platform/QtDialogs.h"
#include "support/Files.h"
#include "support/TempFolder.h"

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
    const struct {
        std::string filter;
        std::string onLinux, onWindows;
    } cases[] = {
        {RequestOf(question::UploadImage{"", true, true}).filter,
         "File EE2 (*.epr) (*.[eE][pP][rR]);;File flash (*.fla) (*.[fF][lL][aA])",
         "File EE2 (*.epr) (*.epr);;File flash (*.fla) (*.fla)"},
        {FindFirmwareTarget("VERTA708")->filter, "File bin (31400_*.bin) (*31400_*.[bB][iI][nN])",
         "File bin (31400_*.bin) (*31400_*.bin)"},
        {RequestOf(question::LoadRegisterFile{""}).filter,
         "Wifi register file (*_wifi.txt) (*_[wW][iI][fF][iI].[tT][xX][tT])", "Wifi register file (*_wifi.txt) (*_wifi.txt)"},
        {"Data file | *.*", "Data file (*.*)", "Data file (*.*)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QtDialogs::QtFilter(c.filter, OsFamily::Unix).toStdString(), c.onLinux);
        EXPECT_EQ(QtDialogs::QtFilter(c.filter, OsFamily::Windows).toStdString(), c.onWindows);
    }
}

// A save dialog starts at the suggested name in the folder, an open dialog at the file named; what
// is accepted there is the path given back, and nothing when the dialog is cancelled.
TEST(FileDialogs, StartAtTheSuggestedNameAndGiveBackTheAcceptedPath)
{
    TempFolder folder;
    WriteFileText(folder.Path("VRTA710_00001234_WIFI.TXT"), "x");
    QtDialogs dialogs;
    const auto answerWhenShown = [](bool accept) {
        QTimer::singleShot(0, [accept] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
                accept ? static_cast<QDialog*>(dialog)->accept() : dialog->reject();  // accepted as it stands
        });
    };
    answerWhenShown(true);
    EXPECT_EQ(dialogs.SaveFile(RequestOf(question::SaveRegisterFile{folder.Path(), "VRTA710_00009999_wifi.txt"})),
              folder.Path("VRTA710_00009999_wifi.txt"));
    FileDialogRequest open = RequestOf(question::LoadRegisterFile{folder.Path()});
    open.suggestedName = folder.Path("VRTA710_00001234_WIFI.TXT");
    answerWhenShown(true);
    EXPECT_EQ(dialogs.OpenFile(open), folder.Path("VRTA710_00001234_WIFI.TXT"));
    answerWhenShown(false);
    EXPECT_FALSE(dialogs.OpenFile(open));
}
