// screenshots: the main window on the simulated instrument, every feature switched on, each tab
// caught in a state that shows what it does, saved as PNG files for the README. The buttons are
// clicked as a technician would; message boxes and file dialogs are answered by a script.
// scripts/screenshots runs it under xvfb-run.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/Form1.h"
#include "core/Files.h"
#include "core/SettingsStore.h"
#include "platform/QtHost.h"
#include "platform/QtScheduler.h"
#include "sim/SimulatedLine.h"

namespace {

constexpr const char* kUsage =
    "usage: screenshots [--out FOLDER] [--model NAME]\n"
    "  --out FOLDER   where the pictures go (default docs/images)\n"
    "  --model NAME   device name of the simulated instrument (default VRTA710, one with Wi-Fi)\n"
    "Writes upload-tab.png, down-mem-tab.png, param-tab.png and service-tab.png. Needs a display\n"
    "(scripts/screenshots runs it under xvfb-run).\n";

constexpr const char* kEveryFeature =
    "31400-flashopen\r\n31400-paramedit\r\n31400-EeWipeFull\r\n31400-WlanOps\r\n314x0-CalStmp\r\n";

constexpr int kWindowWidth = 780;
constexpr int kWindowHeight = 560;
constexpr int kLookEveryMs = 20;
constexpr int kSettleMs = 300;  // lets the window finish its redraws before it is grabbed

// What the pictures show.
constexpr int kParamIndex = 93;
constexpr const char* kParamValue = "-12";  // an RCD offset, as a calibrated instrument holds one
constexpr const char* kRegisterEntry = "0x40";  // the module's status: its value, then one line per flag
constexpr const char* kStatusDecoded = "--------------------";  // the rule between the value and the flags
constexpr const char* kFirstFlashPage = "0";
constexpr const char* kLastFlashPage = "27";
constexpr const char* kFirmwareTarget = "VERTA710";
// The Upload tab shows a path's last 40 characters: the folder's name and the file's.
constexpr const char* kFirmwareFile = "firmware-images/31400_VERTA710_V1.07.bin";
constexpr std::size_t kFirmwareBytes = 64 * 1024;
// "Part-way": the bar between these percentages.
constexpr int kPartWayFrom = 45;
constexpr int kPartWayTo = 75;

struct Options {
    std::string outFolder = "docs/images";
    std::string model = "VRTA710";
    std::string error;  // not empty: the command line is wrong
};

// A step that did not reach the state its picture is to show.
struct StepFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class MemorySettings : public SettingsStore {
public:
    std::string Value(const std::string& section, const std::string& key, const std::string& fallback) const override
    {
        const auto it = values_.find(section + "/" + key);
        return it == values_.end() ? fallback : it->second;
    }
    void SetValue(const std::string& section, const std::string& key, const std::string& value) override
    {
        values_[section + "/" + key] = value;
    }

private:
    std::map<std::string, std::string> values_;
};

std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

// Message boxes take their first button (OK, Yes); a file dialog answers with the path the step
// has put ready, once, and is cancelled when there is none. Each one is told on standard error.
class ScriptedDialogs : public Dialogs {
public:
    std::optional<std::string> nextPath;

    MsgAnswer Message(MsgIcon, const std::string& title, const std::string& text, MsgButtons buttons) override
    {
        const bool ok = buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel;
        std::fprintf(stderr, "screenshots:   box \"%s\": %s -> %s\n", title.c_str(), OneLine(text).c_str(),
                     ok ? "OK" : "Yes");
        return ok ? MsgAnswer::Ok : MsgAnswer::Yes;
    }
    std::optional<std::string> OpenFile(const FileDialogRequest& request) override { return Answer(request); }
    std::optional<std::string> SaveFile(const FileDialogRequest& request) override { return Answer(request); }

private:
    std::optional<std::string> Answer(const FileDialogRequest& request)
    {
        std::optional<std::string> path;
        path.swap(nextPath);
        std::fprintf(stderr, "screenshots:   file dialog \"%s\" -> %s\n", request.title.c_str(),
                     path ? path->c_str() : "cancelled");
        return path;
    }
};

Options ParseOptions(const QStringList& arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (option != "--out" && option != "--model") {
            options.error = "unknown option " + option.toStdString();
            break;
        }
        if (i + 1 >= arguments.size()) {
            options.error = option.toStdString() + " needs a value";
            break;
        }
        (option == "--out" ? options.outFolder : options.model) = arguments[++i].toStdString();
    }
    return options;
}

// Waits on a Qt timer, delivering the window's events meanwhile.
void Settle(int ms = kSettleMs)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Looks at the window on a Qt timer while an operation runs (the operation's waits deliver the
// timer's events) and grabs it the first time `reached` holds.
class GrabWhen {
public:
    GrabWhen(QWidget& window, std::function<bool()> reached)
    {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this, &window, reached = std::move(reached)] {
            if (!reached())
                return;
            timer_.stop();
            picture_ = window.grab();
        });
        timer_.start(kLookEveryMs);
    }
    const std::optional<QPixmap>& Picture() const { return picture_; }

private:
    QTimer timer_;
    std::optional<QPixmap> picture_;
};

bool PartWay(const QProgressBar& bar)
{
    return !bar.isHidden() && bar.value() >= kPartWayFrom && bar.value() <= kPartWayTo;
}

void Choose(QComboBox& list, const QString& startOfEntry)
{
    for (int i = 0; i < list.count(); ++i) {
        if (list.itemText(i).startsWith(startOfEntry)) {
            list.setCurrentIndex(i);
            return;
        }
    }
    throw StepFailed("no entry " + startOfEntry.toStdString() + " in the list " + list.objectName().toStdString());
}

class Photographer {
public:
    Photographer(Form1& window, SimulatedLine& instrument, ScriptedDialogs& dialogs, const QDir& scratch)
        : window_(window), instrument_(instrument), dialogs_(dialogs), scratch_(scratch)
    {
    }

    // The pictures taken so far, with their file names.
    const std::vector<std::pair<QString, QPixmap>>& Pictures() const { return pictures_; }

    // A parameter read, its description beside it.
    void ParamTabAfterARead()
    {
        Enter(kParamTab);
        ParamTab& tab = *window_.Param;
        instrument_.Instrument().SetParam(kParamIndex, kParamValue);
        tab.txtParTipo->setText(QString::number(kParamIndex));
        tab.cmdParamReadSingle->click();
        if (tab.txtParValue->text() != kParamValue)
            throw StepFailed("the read of index " + std::to_string(kParamIndex) + " did not give the instrument's " +
                             kParamValue + "; the log says: " + OneLine(tab.StatusText()));
        Keep(Grab(), "param-tab.png");
    }

    // The status register read and decoded in the log.
    void ServiceTabAfterARegisterRead()
    {
        Enter(kServiceTab);
        ServiceTab& tab = *window_.Service;
        Choose(*tab.cmbService, "WiFi register");
        Choose(*tab.cmbService2, kRegisterEntry);
        tab.cmdGetService->click();
        if (tab.LogText().find(kStatusDecoded) == std::string::npos)
            throw StepFailed("the read of register " + std::string(kRegisterEntry) + " was not decoded; the log says: " +
                             OneLine(tab.LogText()));
        Keep(Grab(), "service-tab.png");
    }

    // The EEPROM saved and the flash pages on their way.
    void DownMemTabDuringADownload()
    {
        Enter(kDownMemTab);
        DownMemTab& tab = *window_.DownMem;
        tab.chkEE2Down->setChecked(true);
        tab.chkFlashDown->setChecked(true);
        tab.txtDownDaPag->setText(kFirstFlashPage);
        tab.txtDownaPag->setText(kLastFlashPage);
        dialogs_.nextPath = scratch_.filePath("backup.epr").toStdString();
        const GrabWhen grab(window_, [&tab] { return PartWay(*tab.PrgBar2); });
        tab.cmdDownDwData->click();
        if (!grab.Picture())
            throw StepFailed("the download ended before its bar was part-way; the log says: " + OneLine(tab.StatusText()));
        Keep(*grab.Picture(), "down-mem-tab.png");
    }

    // The CPU board in its bootloader, a firmware file being written page by page.
    void UploadTabDuringAnUpload()
    {
        instrument_.Boards().StartCpuInBootloader();
        Enter(kUploadTab);
        UploadTab& tab = *window_.Upload;
        Choose(*tab.cmbUploadTipoStrum, kFirmwareTarget);
        dialogs_.nextPath = WriteFirmwareFile();
        tab.CmdBrowse->click();
        if (!tab.CmdStartProg->isEnabled())
            throw StepFailed("Start stayed off after the firmware file was chosen");
        const GrabWhen grab(window_, [&tab] { return PartWay(*tab.PrgBar1); });
        tab.CmdStartProg->click();
        if (!grab.Picture())
            throw StepFailed("the upload ended before its bar was part-way; the log says: " + OneLine(tab.StatusText()));
        Keep(*grab.Picture(), "upload-tab.png");
    }

private:
    void Enter(int tab)
    {
        window_.SSTab1->setCurrentIndex(tab);
        Settle();
    }

    QPixmap Grab()
    {
        Settle();
        return window_.grab();
    }

    void Keep(const QPixmap& picture, const char* name) { pictures_.emplace_back(name, picture); }

    // An image of whole pages, not all alike, as a firmware file is.
    std::string WriteFirmwareFile()
    {
        std::string image(kFirmwareBytes, '\0');
        for (std::size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>((i * 37 + (i >> 8)) & 0xFF);
        const std::string path = scratch_.filePath(kFirmwareFile).toStdString();
        scratch_.mkpath(QFileInfo(QString::fromStdString(path)).path());
        std::string why;
        if (!WriteWholeFile(path, image, why))
            throw StepFailed("could not write the firmware file " + path + ": " + why);
        return path;
    }

    Form1& window_;
    SimulatedLine& instrument_;
    ScriptedDialogs& dialogs_;
    QDir scratch_;
    std::vector<std::pair<QString, QPixmap>> pictures_;
};

struct Step {
    const char* tab;
    void (Photographer::*take)();
};

// The quick ones first; the Upload tab last, as it leaves the CPU board restarting.
constexpr Step kSteps[] = {
    {"Param", &Photographer::ParamTabAfterARead},
    {"Service", &Photographer::ServiceTabAfterARegisterRead},
    {"Down mem", &Photographer::DownMemTabDuringADownload},
    {"Upload", &Photographer::UploadTabDuringAnUpload},
};

bool TakeEveryPicture(Photographer& photographer)
{
    for (const Step& step : kSteps) {
        std::fprintf(stderr, "screenshots: the %s tab\n", step.tab);
        try {
            (photographer.*step.take)();
        } catch (const StepFailed& failure) {
            std::fprintf(stderr, "screenshots: the %s tab: %s; no picture written\n", step.tab, failure.what());
            return false;
        }
    }
    return true;
}

// Only once every tab has been caught, so a failed run leaves the pictures there as they were.
bool SavePictures(const std::vector<std::pair<QString, QPixmap>>& pictures, const QDir& out)
{
    for (const auto& [name, picture] : pictures) {
        const QString path = out.filePath(name);
        if (!picture.save(path, "PNG")) {
            std::fprintf(stderr, "screenshots: could not write %s\n", path.toStdString().c_str());
            return false;
        }
        std::fprintf(stderr, "screenshots: wrote %s\n", path.toStdString().c_str());
    }
    return true;
}

bool AnswerHelp(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
    }
    return false;
}

// Without a display Qt would abort; say why instead.
bool DisplayAvailable()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv)
{
    if (AnswerHelp(argc, argv))
        return 0;
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "screenshots: no display (DISPLAY is not set); scripts/screenshots runs it under xvfb-run\n");
        return 2;
    }
    QApplication app(argc, argv);
    const Options options = ParseOptions(QApplication::arguments());
    if (!options.error.empty()) {
        std::fprintf(stderr, "screenshots: %s\n%s", options.error.c_str(), kUsage);
        return 2;
    }
    QDir out(QString::fromStdString(options.outFolder));
    QTemporaryDir scratch;  // the configuration file, the firmware file and the saved memory
    if (!out.mkpath(".") || !scratch.isValid()) {
        std::fprintf(stderr, "screenshots: cannot create %s or a temporary folder\n", options.outFolder.c_str());
        return 1;
    }
    const std::string scratchFolder = scratch.path().toStdString();
    std::string why;
    if (!WriteWholeFile(scratchFolder + "/Config314x0.cfg", kEveryFeature, why)) {
        std::fprintf(stderr, "screenshots: cannot write the configuration file: %s\n", why.c_str());
        return 1;
    }

    QtHost host;
    ScriptedDialogs dialogs;
    MemorySettings settings;
    QtScheduler scheduler(host);
    SimulatedLine instrument(options.model, false, scheduler);
    SerialLink link(instrument.Port(), host, dialogs);
    Form1 window(AppServices{link, host, dialogs, settings, scratchFolder, {scratchFolder}});
    if (!window.Startup(false)) {
        std::fprintf(stderr, "screenshots: the window did not start on the simulated instrument\n");
        return 1;
    }
    window.resize(kWindowWidth, kWindowHeight);
    window.show();
    Settle();

    Photographer photographer(window, instrument, dialogs, QDir(scratch.path()));
    const bool taken = TakeEveryPicture(photographer);
    link.CloseSeriale();
    return taken && SavePictures(photographer.Pictures(), out) ? 0 : 1;
}
