// The Upload tab around UploadFirmware, against the simulated boards in virtual time: the controls
// off while a run goes on and back whatever its end, the log, bar and percentage on screen, the
// speed menu, the file choice and the target selected at Start. (The runs themselves, step by step:
// the FirmwareUpload tests.)
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPaintEvent>
#include <QProgressBar>
#include <QTimer>

#include "UploadRig.h"
#include "app/UploadActions.h"
#include "support/SimTestHelpers.h"

namespace {

constexpr const char* kSyncOk = " Baudrate detection : OK\r\n";
constexpr const char* kEraseOk = " ERASE command      : OK\r\n MASS ERASE code    : OK\r\n";
constexpr const char* kRunOk = " Run command        : OK\r\n";

struct UploadTabOneBoard : UploadFlow {
    Bytes image = Image(700, 1);  // 3 pages
    std::string file;
    void SetUp() override
    {
        UploadFlow::SetUp();
        Target("QMX-ARN");
        file = WriteFile("31400_V2.bin", image);
    }
};

struct UploadTabPackage : UploadFlow {
    std::string package;
    void SetUp() override
    {
        UploadFlow::SetUp();
        Target("QSVERIFs-MIN");
        WriteFile("27520_CPU_V1.bin", Image(700, 3));
        WriteFile("27520_MIS_V1.bin", Image(1400, 4));
        package = WriteText("27520_Pack_V1-01.pkg", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n");
        rig.boards.StartCpuInBootloader();
        rig.boards.SetPowerOnDelay(4.0);
    }
};

}  // namespace

TEST_F(UploadTabOneBoard, StartProgramsTheBoardWithTheControlsOffUntilItEnds)
{
    rig.boards.StartCpuInBootloader();
    Browse(file);
    std::string whilePage2;
    rig.When([&] { return Log().find(" Page 2/3 ...") != std::string::npos; }, [&] { whilePage2 = State(); });
    Start();
    EXPECT_EQ(Log(), std::string(kSyncOk) + kEraseOk + " Loaded 3 pages  : OK \r\n" + kRunOk +
                         "Upload completed succefully \r\n");
    EXPECT_EQ(whilePage2, std::string(kRunning) + ", port 1, bar 1, percent 1");
    EXPECT_EQ(rig.boards.CpuBoot().ReadFlash(0, 768), Padded(image));
    EXPECT_EQ(rig.port.LineSettings(), "57600,E,8,1");
    EXPECT_EQ(rig.Control<QLabel>("lblPercUpload").text().toStdString(), "75%");
    EXPECT_EQ(rig.Control<QProgressBar>("PrgBar1").value(), 75);
    ExpectControlsOffWhileRunningThenBack();

    // At 115200 the direct route runs at that speed.
    rig.form->mnu115200->trigger();
    rig.boards.StartCpuInBootloader();
    Start();
    EXPECT_NE(Log().find("Upload completed succefully "), std::string::npos) << Log();
    EXPECT_EQ(rig.port.LineSettings(), "115200,E,8,1");
}

TEST_F(UploadTabOneBoard, AFailedRunGivesTheControlsBack)
{
    const struct {
        const char* story;
        bool keysHeld;
        const char* target;
        std::string log;
    } cases[] = {
        {"the instrument not in its bootloader", false, "QMX-ARN",
         " Baudrate detection : error\r\n Rx(3): 000000\r\nSet baudrate error  ...\r\nUpload failed! \r\nSwitch the "
         "instrument OFF, then ON again in its bootloader as the target's instructions say (e.g. with Menu+GO pressed), "
         "and start again\r\n"},
        {"a file the target does not take", true, "QSLUM",
         " Upload not started: QSLUM takes a file *31420_*.bin, not 31400_V2.bin\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        if (c.keysHeld)
            rig.boards.StartCpuInBootloader();
        Target("QMX-ARN");
        Browse(file);
        Target(c.target);
        Start();
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(State(), kIdle);
    }
}

TEST_F(UploadTabPackage, TheLinkFollowsTheSpeedMenu)
{
    // 57600 ticked (the Upload tab's default): 0xD4 0x00, then the port at 57600.
    std::string inTheTunnel;
    rig.When([&] { return Log().find("Prog. N.2/6") != std::string::npos; }, [&] { inTheTunnel = State(); });
    Browse(package);
    Start();
    EXPECT_NE(Log().find(" >> Upload Success "), std::string::npos) << Log();
    EXPECT_EQ(inTheTunnel, std::string(kRunning) + ", port 1, bar 1, percent 0") << "the tunnel's bar has no percentage";
    EXPECT_EQ(Requests(0xD4), 1u);
    EXPECT_EQ(BytesToHex(rig.instrument.Requests().at(2)), "D400");
    EXPECT_EQ(rig.boards.LinkBaud(), 57600);
    EXPECT_EQ(rig.port.LineSettings(), "57600,N,8,1");
    EXPECT_EQ(rig.link.BaudText, "57600");
    EXPECT_EQ(rig.boards.LineErrors(), 0u);
    EXPECT_EQ(rig.form->StatusBar1Panel2->text().toStdString(), "Baud: 57600");
    ExpectControlsOffWhileRunningThenBack();

    // 115200: no switch.
    rig.instrument.ClearRecord();
    rig.form->mnu115200->trigger();
    rig.boards.StartCpuInBootloader();
    Start();
    EXPECT_NE(Log().find(" >> Upload Success "), std::string::npos) << Log();
    EXPECT_EQ(Requests(0xD4), 0u);
    EXPECT_EQ(rig.port.LineSettings(), "115200,N,8,1");
    EXPECT_EQ(rig.link.BaudText, "115200");
}

// Start checks the chosen file against the target selected then, not the one it was chosen with:
// the package a package run leaves chosen, a target changed after the choice.
TEST_F(UploadTabPackage, StartProgramsOnlyAFileThatFitsTheSelectedTarget)
{
    Browse(package);
    Start();
    ASSERT_NE(Log().find(" >> Upload Success "), std::string::npos) << Log();
    const std::string bin31400 = WriteFile("31400_V2.bin", Image(700, 5));
    const struct {
        const char* story;
        const char* browseTarget;  // nullptr: the choice the package run left
        std::optional<std::string> file;
        const char* startTarget;
        std::string line;
    } cases[] = {
        {"the package the run left, then a 31400 target", nullptr, std::nullopt, "QMX-ARN",
         " Upload not started: QMX-ARN takes a file *31400_*.bin, not 27520_Pack_V1-01.pkg"},
        {"a package chosen, then a 31400 target", "QSVERIFs-MIN", package, "VERTA708",
         " Upload not started: VERTA708 takes a file *31400_*.bin, not 27520_Pack_V1-01.pkg"},
        {"a 31400 image, then a 31420 target", "QMX-ARN", bin31400, "QSLUM",
         " Upload not started: QSLUM takes a file *31420_*.bin, not 31400_V2.bin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        rig.boards.StartCpuInBootloader();
        if (c.browseTarget) {
            Target(c.browseTarget);
            Browse(c.file);
        }
        Target(c.startTarget);
        const std::size_t writes = rig.port.Writes().size();
        Start();
        EXPECT_EQ(Log(), c.line + "\r\n");
        EXPECT_EQ(rig.port.Writes().size(), writes) << "nothing sent";
        EXPECT_EQ(State(), kIdle);
    }
}

TEST_F(UploadTabOneBoard, ClosingTheWindowWhilePagesAreWrittenEndsTheRun)
{
    image = Image(40 * 256, 5);
    WriteFile("31400_V2.bin", image);
    rig.boards.StartCpuInBootloader();
    rig.port.SetPacing(true);
    Browse(file);
    rig.When([&] { return Log().find(" Page 10/40") != std::string::npos; }, [&] { rig.form->close(); });
    Start();
    EXPECT_TRUE(rig.host.Quitting());
    EXPECT_LT(rig.boards.CpuBoot().Writes(), 12);
    EXPECT_EQ(Log().find("Upload completed"), std::string::npos);
    EXPECT_FALSE(rig.boards.CpuBoot().Running());
    EXPECT_EQ(State(), kIdle);
}

// ------------------------------------------------------------------------------ file choice

TEST_F(UploadTabOneBoard, BrowseShowsThePathWithin40CharactersAndEnablesStart)
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

    const std::string forty = "/a/" + std::string(33, 'b') + ".bin";  // 40 characters
    const std::string fortyOne = "/ab/" + std::string(33, 'b') + ".bin";
    ASSERT_EQ(forty.size(), 40u);
    Browse(forty);
    EXPECT_EQ(label.text().toStdString(), forty);
    EXPECT_TRUE(start.isEnabled());
    Browse(fortyOne);
    EXPECT_EQ(label.text().toStdString(), "..." + fortyOne.substr(1));
    EXPECT_EQ(rig.form->uploadActions->ChosenFile(), fortyOne);
    EXPECT_EQ(rig.form->Upload->DialogFileName(), fortyOne);

    // Accents count as one character each.
    const std::string accented = "/" + std::string(34, 'c') + "\xC3\xA0.bin";  // 40 characters
    Browse(accented);
    EXPECT_EQ(label.text().toStdString(), accented);

    // Cancelling keeps the previous choice.
    Browse(std::nullopt);
    EXPECT_EQ(rig.form->uploadActions->ChosenFile(), accented);
    EXPECT_TRUE(start.isEnabled());

    // A folder is no file: Start stays as it was.
    start.setEnabled(false);
    Browse("/a/folder/");
    EXPECT_FALSE(start.isEnabled());
}

// ------------------------------------------------------------------------------ the line first

namespace {

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

// Drawing never delays the line: a page's log line and the bar (with its percentage) are brought
// up to date only once the next Write Memory command has gone out, on both routes. Each shows
// "<what>@<commands sent by then>".
TEST_F(UploadTabPackage, PageLinesAndTheBarFollowTheNextCommandOnTheLine)
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
    Browse(package);
    Start();
    ASSERT_NE(Log().find(" >> Upload Success "), std::string::npos) << Log();

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
TEST_F(UploadTabOneBoard, ANewPercentageRedrawsTheProgressRowOnly)
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
            const QRect rect = static_cast<QPaintEvent*>(event)->rect();
            if (rect.height() > rowHeight)
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

// ------------------------------------------------------------------------------ Verify

// "Verify" starts unticked; ticked, Start reads the board back before it is started, and the
// choice is kept beside the port number for the next start of the program.
TEST_F(UploadTabOneBoard, VerifyIsUntickedAtFirstAndRememberedForTheNextStart)
{
    auto& verify = rig.Control<QCheckBox>("chkVerify");
    EXPECT_FALSE(verify.isChecked());
    EXPECT_EQ(rig.settings.values.count("Startup/Verify"), 0u) << "nothing saved before it is touched";
    rig.boards.StartCpuInBootloader();
    Browse(file);
    Start();
    EXPECT_EQ(Log().find("Verify"), std::string::npos) << Log();

    verify.setChecked(true);
    EXPECT_EQ(rig.settings.values["Startup/Verify"], "1");
    rig.boards.StartCpuInBootloader();
    Start();
    EXPECT_EQ(Log(), std::string(kSyncOk) + kEraseOk + " Loaded 3 pages  : OK \r\n Verify      : OK\r\n" + kRunOk +
                         "Upload completed succefully \r\n");
    EXPECT_EQ(State(), kIdle);

    // The program started again with the same settings.
    rig.form.reset();
    rig.StartOn("", kUploadTab);
    EXPECT_TRUE(rig.Control<QCheckBox>("chkVerify").isChecked());
    rig.Control<QCheckBox>("chkVerify").setChecked(false);
    EXPECT_EQ(rig.settings.values["Startup/Verify"], "0");
    rig.form.reset();
    rig.StartOn("", kUploadTab);
    EXPECT_FALSE(rig.Control<QCheckBox>("chkVerify").isChecked());
    EXPECT_EQ(rig.SavedPort(), "1") << "the port number stays beside it";
}
