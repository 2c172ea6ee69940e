// The Upload tab around UploadFirmware, against the simulated boards in virtual time: the controls
// off while a run goes on and back whatever its end, the bar and percentage on screen, the speed
// menu and the status bar, the file choice, the target selected at Start and the Verify box. (The
// runs themselves, step by step: the FirmwareUpload tests.)
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "AppRig.h"
#include "app/UploadActions.h"
#include "support/Files.h"
#include "support/FirmwareImages.h"

namespace {

// A started window on its Upload tab (QMX-ARN chosen), a 3-page image and a package of 3 and 6
// pages, and how the controls stood at every wait of a run.
struct UploadFlow : ::testing::Test {
    static constexpr const char* kIdle = "tab control 1, comm 1, start 1, port 0, bar 0, percent 0";
    static constexpr const char* kRunning = "tab control 0, comm 0, start 0";

    AppRig rig;
    QTemporaryDir images;
    std::vector<std::string> runningStates;
    std::string file;
    std::string package;

    void SetUp() override
    {
        rig.StartOn("", kUploadTab);
        rig.host.SetOnYield([this] {
            QCoreApplication::processEvents();
            if (runningStates.empty() || runningStates.back() != Controls())
                runningStates.push_back(Controls());
        });
        file = WriteFile("31400_V2.bin", FirmwareImage(700, 1));
        WriteFile("27520_CPU_V1.bin", FirmwareImage(700, 3));
        WriteFile("27520_MIS_V1.bin", FirmwareImage(1400, 4));
        package = WriteFileText(Path("27520_Pack_V1-01.pkg"), "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n");
        rig.boards.SetPowerOnDelay(4.0);
        Target("QMX-ARN");
    }

    std::string Path(const std::string& name) const { return images.filePath(QString::fromStdString(name)).toStdString(); }
    std::string WriteFile(const std::string& name, const Bytes& bytes) const { return WriteFileBytes(Path(name), bytes); }
    QPushButton& Button(const char* name) { return rig.Control<QPushButton>(name); }
    void Target(const std::string& target) { rig.Choose("cmbUploadTipoStrum", target); }
    // The file dialog answers with `path` (nothing: cancelled).
    void Browse(std::optional<std::string> path)
    {
        rig.dialogs.filePaths.push_back(std::move(path));
        Button("CmdBrowse").click();
    }
    void Start()
    {
        runningStates.clear();
        Button("CmdStartProg").click();
    }
    std::string Log() const { return rig.form->Upload->StatusText(); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }

    std::string Controls() const
    {
        const auto bit = [](bool on) { return on ? '1' : '0'; };
        return std::string("tab control ") + bit(rig.form->SSTab1->isEnabled()) + ", comm " +
               bit(rig.form->mnuSeriale->menuAction()->isEnabled()) + ", start " +
               bit(rig.form->Upload->CmdStartProg->isEnabled());
    }
    std::string State() const
    {
        const auto bit = [](bool on) { return on ? '1' : '0'; };
        return Controls() + ", port " + bit(rig.port.IsOpen()) + ", bar " + bit(!rig.form->Upload->PrgBar1->isHidden()) +
               ", percent " + bit(!rig.form->Upload->lblPercUpload->isHidden());
    }
    // The controls were off during the run and came back at its end.
    void ExpectControlsOffWhileRunningThenBack()
    {
        EXPECT_FALSE(runningStates.empty());
        for (const auto& state : runningStates)
            EXPECT_EQ(state, kRunning);
        EXPECT_EQ(State(), kIdle);
    }
};

// Write Memory commands on the line so far, straight or through the CPU board.
std::size_t WriteCommandsSent(const SimPort& port)
{
    std::size_t count = 0;
    for (const Bytes& write : port.Writes()) {
        const bool direct = write == Bytes{0x31, 0xCE};
        const bool tunnel = write.size() == 8 && write[2] == 0xD1 && write[3] == 0x31 && write[4] == 0xCE;
        count += direct || tunnel ? 1 : 0;
    }
    return count;
}

}  // namespace

TEST_F(UploadFlow, StartProgramsTheBoardWithTheControlsOffUntilItEnds)
{
    rig.boards.StartCpuInBootloader();
    Browse(file);
    std::string whilePage2;
    rig.When([&] { return Logged(" Page 2/3 ..."); }, [&] { whilePage2 = State(); });
    Start();
    EXPECT_EQ(Log(), " Baudrate detection : OK\r\n ERASE command      : OK\r\n MASS ERASE code    : OK\r\n Loaded 3 pages  : "
                     "OK \r\n Run command        : OK\r\nUpload completed succefully \r\n");
    EXPECT_EQ(whilePage2, std::string(kRunning) + ", port 1, bar 1, percent 1");
    EXPECT_EQ(rig.Control<QLabel>("lblPercUpload").text().toStdString(), "75%");
    EXPECT_EQ(rig.Control<QProgressBar>("PrgBar1").value(), 75);
    ExpectControlsOffWhileRunningThenBack();
}

// Whatever ends a run gives the controls back. Start checks the chosen file against the target
// selected then, not the one it was chosen with.
TEST_F(UploadFlow, AFailedOrRefusedRunGivesTheControlsBack)
{
    const std::string bin31400 = file;
    const struct {
        const char* story;
        bool keysHeld;
        const char* browseTarget;
        std::string file;
        const char* startTarget;
        std::string logEnd;
    } cases[] = {
        {"the instrument not in its bootloader", false, "QMX-ARN", bin31400, "QMX-ARN", "Upload failed! \r\nSwitch the "
         "instrument OFF, then ON again in its bootloader as the target's instructions say (e.g. with Menu+GO pressed), "
         "and start again\r\n"},
        {"a 31400 image, then a 31420 target", true, "QMX-ARN", bin31400, "QSLUM",
         " Upload not started: QSLUM takes a file *31420_*.bin, not 31400_V2.bin\r\n"},
        {"a package chosen, then a 31400 target", true, "QSVERIFs-MIN", package, "VERTA708",
         " Upload not started: VERTA708 takes a file *31400_*.bin, not 27520_Pack_V1-01.pkg\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        if (c.keysHeld)
            rig.boards.StartCpuInBootloader();
        Target(c.browseTarget);
        Browse(c.file);
        Target(c.startTarget);
        Start();
        ASSERT_GE(Log().size(), c.logEnd.size());
        EXPECT_EQ(Log().substr(Log().size() - c.logEnd.size()), c.logEnd);
        if (c.keysHeld) {
            EXPECT_EQ(State(), kIdle);  // refused before anything waited
        } else {
            ExpectControlsOffWhileRunningThenBack();
        }
    }
}

TEST_F(UploadFlow, ThePackageLinkFollowsTheSpeedMenuAndTheStatusBarShowsIt)
{
    // 57600 ticked (the Upload tab's default): 0xD4 0x00, then the port at 57600.
    Target("QSVERIFs-MIN");
    Browse(package);
    for (const bool fast : {false, true}) {
        SCOPED_TRACE(fast ? "115200" : "57600");
        rig.instrument.ClearRecord();
        if (fast)
            rig.form->mnu115200->trigger();
        rig.boards.StartCpuInBootloader();
        std::string inTheTunnel;
        rig.When([&] { return Logged("Prog. N.2/6"); }, [&] { inTheTunnel = State(); });
        Start();
        EXPECT_TRUE(Logged(" >> Upload Success ")) << Log();
        EXPECT_EQ(inTheTunnel, std::string(kRunning) + ", port 1, bar 1, percent 0") << "the tunnel's bar has no percentage";
        if (!fast) {
            EXPECT_EQ(BytesToHex(rig.instrument.Requests().at(2)), "D400");
        }
        EXPECT_EQ(rig.port.LineSettings(), fast ? "115200,N,8,1" : "57600,N,8,1");
        EXPECT_EQ(rig.link.BaudText, fast ? "115200" : "57600");
        EXPECT_EQ(rig.form->StatusBar1Panel2->text().toStdString(), fast ? "Baud: 115200" : "Baud: 57600");
        ExpectControlsOffWhileRunningThenBack();
    }
    // The CPU board programmed and the instrument never switched on: the link is left at 115200,
    // and the status bar says so.
    rig.form->mnu57600->trigger();
    rig.boards.SetPowerOnDelay(-1.0);
    rig.boards.StartCpuInBootloader();
    Start();
    EXPECT_TRUE(Logged("Exit due to Timeout ")) << Log();
    EXPECT_EQ(rig.form->StatusBar1Panel2->text().toStdString(), "Baud: 115200");
}

TEST_F(UploadFlow, ClosingTheWindowWhilePagesAreWrittenEndsTheRun)
{
    WriteFile("31400_V2.bin", FirmwareImage(40 * 256, 5));
    rig.boards.StartCpuInBootloader();
    rig.port.SetPacing(true);
    Browse(file);
    rig.When([&] { return Logged(" Page 10/40"); }, [&] { rig.form->close(); });
    Start();
    EXPECT_TRUE(rig.host.Quitting());
    EXPECT_LT(rig.boards.CpuBoot().Writes(), 12);
    EXPECT_FALSE(Logged("Upload completed"));
    EXPECT_FALSE(rig.boards.CpuBoot().Running());
    EXPECT_EQ(State(), kIdle);
}

TEST_F(UploadFlow, BrowseShowsThePathWithin40CharactersAndEnablesStart)
{
    auto& start = Button("CmdStartProg");
    auto& label = rig.Control<QLabel>("lblNomeFile");
    EXPECT_FALSE(start.isEnabled());
    rig.form->Upload->SetStatusText("instructions");
    Browse(std::nullopt);
    EXPECT_EQ(Log(), "") << "the log is emptied even when cancelled";
    EXPECT_FALSE(start.isEnabled());
    ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(rig.dialogs.fileRequests[0].folder, rig.folder.path().toStdString());
    EXPECT_EQ(rig.dialogs.fileRequests[0].filter, "File bin (31400_*.bin)|*31400_*.bin");

    const std::string forty = "/a/" + std::string(33, 'b') + ".bin";
    const std::string fortyOne = "/ab/" + std::string(33, 'b') + ".bin";
    const std::string accented = "/" + std::string(34, 'c') + "\xC3\xA0.bin";  // 40 characters
    for (const std::string& path : {forty, accented}) {
        Browse(path);
        EXPECT_EQ(label.text().toStdString(), path);
    }
    EXPECT_TRUE(start.isEnabled());
    Browse(fortyOne);
    EXPECT_EQ(label.text().toStdString(), "..." + fortyOne.substr(1));
    EXPECT_EQ(rig.form->Upload->DialogFileName(), fortyOne);

    // Cancelling keeps the previous choice; a folder is no file, and Start stays as it was.
    Browse(std::nullopt);
    EXPECT_EQ(rig.form->uploadActions->ChosenFile(), fortyOne);
    EXPECT_TRUE(start.isEnabled());
    start.setEnabled(false);
    Browse("/a/folder/");
    EXPECT_FALSE(start.isEnabled());
}

// Drawing never delays the line: a page's log line and the bar (with its percentage) are brought
// up to date only once the next Write Memory command has gone out, on both routes. Each shows
// "<what>@<commands sent by then>".
TEST_F(UploadFlow, PageLinesAndTheBarFollowTheNextCommandOnTheLine)
{
    std::vector<std::string> lines;
    std::vector<std::string> bar;
    const auto sent = [this] { return "@" + std::to_string(WriteCommandsSent(rig.port)); };
    UploadTab& tab = *rig.form->Upload;
    QObject::connect(tab.txtProgStatus, &QPlainTextEdit::textChanged, &tab, [&] {
        const std::string log = Log();
        const auto at = log.rfind("\r\n");
        const std::string last = at == std::string::npos ? log : log.substr(at + 2);
        if ((last.starts_with(" Page ") || last.starts_with("Prog. N.")) && (lines.empty() || !lines.back().starts_with(last + "@")))
            lines.push_back(last + sent());
    });
    QObject::connect(tab.PrgBar1, &QProgressBar::valueChanged, &tab, [&](int value) {
        bar.push_back(std::to_string(value) + sent());
    });
    Target("QSVERIFs-MIN");
    rig.boards.StartCpuInBootloader();
    Browse(package);
    Start();
    ASSERT_TRUE(Logged(" >> Upload Success ")) << Log();

    // The CPU board's 3 pages, then the MIS board's 6; after a board's last page nothing follows.
    EXPECT_EQ(lines, (std::vector<std::string>{" Page 0/3 ...@1", " Page 1/3 ...@2", " Page 2/3 ...@3", "Prog. N.1/6@5",
                                               "Prog. N.2/6@6", "Prog. N.3/6@7", "Prog. N.4/6@8", "Prog. N.5/6@9",
                                               "Prog. N.6/6@9"}));
    // The bar, from the 0 Start sets before anything is sent.
    EXPECT_EQ(bar, (std::vector<std::string>{"0@0", "25@2", "50@3", "75@3", "0@4", "14@5", "29@6", "43@7", "57@8",
                                             "71@9", "86@9"}));
}

// A new percentage redraws the progress row alone: redrawing every widget of the window for each
// page would cost the line its time.
TEST_F(UploadFlow, ANewPercentageRedrawsTheProgressRowOnly)
{
    UploadTab& tab = *rig.form->Upload;
    struct PaintRecorder : QObject {
        QWidget* label = nullptr;
        bool labelPainted = false;
        std::vector<std::string> large;  // widgets painted taller than the progress row
        int rowHeight = 0;
        bool eventFilter(QObject* object, QEvent* event) override
        {
            if (event->type() != QEvent::Paint)
                return false;
            labelPainted = labelPainted || object == label;
            if (static_cast<QPaintEvent*>(event)->rect().height() > rowHeight)
                large.push_back(object->objectName().toStdString());
            return false;
        }
    } recorder;
    recorder.label = tab.lblPercUpload;
    const auto showUntilTheLabelIsPainted = [&](int percent) {
        recorder.labelPainted = false;
        tab.ShowProgress(percent, std::to_string(percent) + "%");
        QTimer late;
        late.setSingleShot(true);
        late.start(5000);
        while (!recorder.labelPainted && late.isActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return recorder.labelPainted;
    };
    rig.form->resize(780, 560);
    rig.form->show();
    qApp->installEventFilter(&recorder);
    ASSERT_TRUE(showUntilTheLabelIsPainted(10)) << "the bar and the label appear";

    recorder.rowHeight = std::max(tab.PrgBar1->height(), tab.lblPercUpload->height());
    for (const int percent : {7, 37, 100}) {  // texts of three widths
        SCOPED_TRACE(percent);
        recorder.large.clear();
        ASSERT_TRUE(showUntilTheLabelIsPainted(percent));
        EXPECT_EQ(recorder.large, std::vector<std::string>{});
    }
    qApp->removeEventFilter(&recorder);
}

// "Verify" starts unticked; ticked, Start reads the board back before it is started, and the
// choice is kept beside the port number for the next start of the program.
TEST_F(UploadFlow, VerifyIsUntickedAtFirstAndRememberedForTheNextStart)
{
    EXPECT_FALSE(rig.Control<QCheckBox>("chkVerify").isChecked());
    EXPECT_EQ(rig.settings.values.count("Startup/Verify"), 0u) << "nothing saved before it is touched";
    Browse(file);
    for (const bool ticked : {false, true}) {
        rig.Control<QCheckBox>("chkVerify").setChecked(ticked);
        rig.boards.StartCpuInBootloader();
        Start();
        EXPECT_TRUE(Logged("Upload completed succefully ")) << Log();
        EXPECT_EQ(Logged(" Loaded 3 pages  : OK \r\n Verify      : OK\r\n"), ticked) << Log();
    }
    EXPECT_EQ(rig.settings.values["Startup/Verify"], "1");

    // The program started again with the same settings.
    for (const bool ticked : {true, false}) {
        rig.form.reset();
        rig.StartOn("", kUploadTab);
        EXPECT_EQ(rig.Control<QCheckBox>("chkVerify").isChecked(), ticked);
        rig.Control<QCheckBox>("chkVerify").setChecked(false);
    }
    EXPECT_EQ(rig.settings.values["Startup/Verify"], "0");
    EXPECT_EQ(rig.SavedPort(), "1") << "the port number stays beside it";
}
