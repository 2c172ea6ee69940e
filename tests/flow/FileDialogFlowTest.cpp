// The window's file dialogs, as QtDialogs sets them up (Qt's own dialog, not the desktop's): which
// files each offers in a folder of files named on Windows, where letter case does not count.
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QTimer>
#include <gtest/gtest.h>

#include "core/Questions.h"
#include "link/InstrumentModels.h"
#include "platform/QtDialogs.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace {

using Names = std::vector<std::string>;

FileDialogRequest RequestOf(const Question& question)
{
    return FileDialogOf(question)->request;
}

FileDialogRequest TargetsDialog(const char* target)
{
    FileDialogRequest request;
    request.filter = FindFirmwareTarget(target)->filter;
    return request;
}

// Runs `loop` until `signal` of `sender` comes, ten seconds at most.
template <typename Sender, typename Signal>
void WaitFor(QEventLoop& loop, const Sender* sender, Signal signal)
{
    QObject::connect(sender, signal, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
}

// A folder of images, packages and register files as a technician's Windows PC holds them.
struct FileDialogs : ::testing::Test {
    TempFolder folder;

    void SetUp() override
    {
        for (const char* name : {"VRTA708_1_fwV1_250101000000.epr", "VRTA708_2_FWV1_250101000000.EPR",
                                 "VRTA708_2_FWV1_250101000000_0000-0027.FLA", "VRTA708_1_fwV1_250101000000_0000-0003.fla",
                                 "31400_VERTA708_V1.06.BIN", "31400_qmx_v2.bin", "31420_QSLUM_V2.Bin", "27510_V3.BIN",
                                 "27520_Pack_V1-01.PKG", "VRTA710_00001234_WIFI.TXT", "VRTA710_00001235_wifi.txt",
                                 "notes.TXT", "epr.doc"})
            WriteFileText(folder.Path(name), "x");
    }

    // The files the dialog of `request` lists in the folder under its filter number `filter`, and
    // the text the filter box shows.
    std::pair<Names, std::string> Offered(FileDialogRequest request, int filter = 0) const
    {
        request.folder = folder.Path();
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        QtDialogs::SetUp(dialog, request);
        auto* model = dialog.findChild<QFileSystemModel*>();
        auto* list = dialog.findChild<QListView*>("listView");
        auto* filters = dialog.findChild<QComboBox*>("fileTypeCombo");
        if (!model || !list || !filters)
            return {{"<not Qt's own dialog>"}, ""};
        // The folder is listed on a thread of Qt's; its rows arrive through the event loop, and
        // another filter lists it again.
        QEventLoop listed;
        QTimer::singleShot(0, [&] { dialog.setDirectory(QString::fromStdString(folder.Path())); });
        WaitFor(listed, model, &QFileSystemModel::directoryLoaded);
        QCoreApplication::processEvents();
        if (filter > 0) {
            QEventLoop relisted;
            QTimer::singleShot(0, [&] { dialog.selectNameFilter(dialog.nameFilters().value(filter)); });
            WaitFor(relisted, model, &QFileSystemModel::layoutChanged);
        }
        Names names;
        const QModelIndex root = list->rootIndex();
        for (int row = 0; row < list->model()->rowCount(root); ++row)
            names.push_back(list->model()->index(row, 0, root).data().toString().toStdString());
        std::sort(names.begin(), names.end());
        return {names, filters->currentText().toStdString()};
    }
};

}  // namespace

// Images saved with upper-case extensions are offered as the ones in lower case are, under the
// descriptions the tool gives its filters.
TEST_F(FileDialogs, OfferFilesWhateverTheLetterCaseOfTheirExtensions)
{
    const FileDialogRequest image = RequestOf(question::UploadImage{"", true, true});
    const struct {
        FileDialogRequest request;
        int filter;
        Names offered;
        std::string shown;
    } cases[] = {
        {image, 0, {"VRTA708_1_fwV1_250101000000.epr", "VRTA708_2_FWV1_250101000000.EPR"}, "File EE2 (*.epr)"},
        {image, 1, {"VRTA708_1_fwV1_250101000000_0000-0003.fla", "VRTA708_2_FWV1_250101000000_0000-0027.FLA"},
         "File flash (*.fla)"},
        {TargetsDialog("VERTA708"), 0, {"31400_VERTA708_V1.06.BIN", "31400_qmx_v2.bin"}, "File bin (31400_*.bin)"},
        {TargetsDialog("QSLUM"), 0, {"31420_QSLUM_V2.Bin"}, "File bin (31420_*.bin)"},
        {TargetsDialog("QSVERIFs-MAX"), 0, {"27510_V3.BIN", "31400_VERTA708_V1.06.BIN", "31400_qmx_v2.bin", "31420_QSLUM_V2.Bin"},
         "File bin (27510_*.bin)"},
        {TargetsDialog("QSVERIFs-MIN"), 0, {"27520_Pack_V1-01.PKG"}, "File bin (27520_*.pkg)"},
        {RequestOf(question::LoadRegisterFile{""}), 0, {"VRTA710_00001234_WIFI.TXT", "VRTA710_00001235_wifi.txt"},
         "Wifi register file (*_wifi.txt)"},
        {RequestOf(question::SaveRegisterFile{"", "x_wifi.txt"}), 0,
         {"VRTA710_00001234_WIFI.TXT", "VRTA710_00001235_wifi.txt", "notes.TXT"}, "WiFi register file (*.txt)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(Offered(c.request, c.filter), std::make_pair(c.offered, c.shown));
    }
}

// What the desktop's own dialog is given (it is not run here): on Linux every letter of a pattern
// in either case, since such a dialog may take the case as it stands; on Windows the patterns as
// they are, Windows' dialogs ignoring case themselves.
TEST(FileDialogFilters, PatternsMatchEitherCaseOnLinuxAndStayAsTheyAreOnWindows)
{
    const std::string upload = RequestOf(question::UploadImage{"", true, true}).filter;
    EXPECT_EQ(QtDialogs::QtFilter(upload, OsFamily::Unix).toStdString(),
              "File EE2 (*.epr) (*.[eE][pP][rR]);;File flash (*.fla) (*.[fF][lL][aA])");
    EXPECT_EQ(QtDialogs::QtFilter(upload, OsFamily::Windows).toStdString(),
              "File EE2 (*.epr) (*.epr);;File flash (*.fla) (*.fla)");
    EXPECT_EQ(QtDialogs::QtFilter(FindFirmwareTarget("VERTA708")->filter, OsFamily::Unix).toStdString(),
              "File bin (31400_*.bin) (*31400_*.[bB][iI][nN])");
    EXPECT_EQ(QtDialogs::QtFilter("Data file | *.*", OsFamily::Unix).toStdString(), "Data file (*.*)");
}

// A save dialog starts at the suggested name in the folder, an open dialog at the file named; what
// is accepted there is the path given back, and nothing when the dialog is cancelled.
TEST_F(FileDialogs, StartAtTheSuggestedNameAndGiveBackTheAcceptedPath)
{
    QtDialogs dialogs;
    // Once shown, the dialog is accepted as it stands (or cancelled); one that has nothing to
    // accept is cancelled.
    const auto answerWhenShown = [](bool accept) {
        QTimer::singleShot(0, [accept] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog && accept)
                static_cast<QDialog*>(dialog)->accept();  // the file dialog's own accept() behind it
            if (dialog && dialog->isVisible())
                dialog->reject();
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
