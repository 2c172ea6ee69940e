// servicetool: the service tool's main window, on the serial ports of this machine or, with
// --simulator, on a simulated instrument.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLockFile>
#include <QStandardPaths>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/FeatureConfig.h"
#include "app/Form1.h"
#include "platform/ConfigPlaces.h"
#include "platform/QtDialogs.h"
#include "platform/QtHost.h"
#include "platform/QtScheduler.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "sim/SimulatedLine.h"

#ifndef SERVICETOOL_VERSION
#define SERVICETOOL_VERSION "unknown"
#endif
#ifndef SERVICETOOL_APP_ID
#define SERVICETOOL_APP_ID "servicetool"
#endif

namespace {

constexpr const char* kUsage =
    "usage: servicetool [--simulator] [--simulator-model NAME] [--simulator-bootloader] [Qt options]\n"
    "       servicetool --version | --help\n"
    "  --simulator              a simulated instrument on port 1 (COMM1) instead of the serial ports\n"
    "  --simulator-model NAME   device name the simulated instrument reports (default VRTA708);\n"
    "                           implies --simulator\n"
    "  --simulator-bootloader   the simulated instrument's CPU board starts in its bootloader, as\n"
    "                           with its keys held (to try the Upload tab); implies --simulator\n"
    "  --version                print the program version and exit\n"
    "  --help                   print this help and exit\n"
    "Qt's own options are accepted too (-platform NAME, -style NAME, ...).\n"
#ifdef _WIN32
    "Serial ports: COMM1..15 are COM1..COM15; SERVICETOOL_PORT_MAP=\"1=COM7\" replaces that map.\n"
    "Feature configuration: Config314x0.cfg beside the program, else in %LOCALAPPDATA%\\servicetool\\\n"
    "  (the first one found is used).\n";
#else
    "Serial ports: COMM1..4 are /dev/ttyS0..3, COMM5..9 /dev/ttyUSB0..4, COMM10..15 /dev/ttyACM0..5;\n"
    "  SERVICETOOL_PORT_MAP=\"1=/dev/ttyUSB0,2=/dev/ttyACM0\" replaces that map. Opening a port needs\n"
    "  membership of its device's group (usually dialout).\n"
    "Feature configuration: Config314x0.cfg beside the program, else in ~/.config/servicetool/,\n"
    "  else in /etc/servicetool/ (the first one found is used).\n";
#endif

struct Options {
    bool simulator = false;
    bool simulatorBootloader = false;  // the CPU board starts in its bootloader
    std::string simulatorModel = "VRTA708";
    std::string error;  // not empty: the command line is wrong
};

// --help and --version answer before anything else, without a display.
bool AnswerInformationOptions(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("servicetool %s\n", SERVICETOOL_VERSION);
            return true;
        }
    }
    return false;
}

// The arguments Qt left (its own options are taken out by QApplication).
Options ParseOptions(const QStringList& arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--simulator") {
            options.simulator = true;
        } else if (arguments[i] == "--simulator-bootloader") {
            options.simulator = true;
            options.simulatorBootloader = true;
        } else if (arguments[i] == "--simulator-model") {
            if (i + 1 >= arguments.size()) {
                options.error = "--simulator-model needs a device name";
                break;
            }
            options.simulator = true;
            options.simulatorModel = arguments[++i].toStdString();
        } else {
            options.error = "unknown option " + arguments[i].toStdString();
            break;
        }
    }
    return options;
}

// One lock per user: on Linux in the user's runtime folder, on Windows in the user's own
// temporary folder (the runtime location there is the home folder).
QString LockFilePath()
{
#ifdef _WIN32
    QString folder = QDir::tempPath();
#else
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
#endif
    return folder + "/servicetool.lock";
}

// Without a display Qt would abort; say why instead.
bool DisplayAvailable()
{
#if defined(__linux__)
    const bool platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    return platformChosen || !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);  // a file past the size limit fails to write and is reported
#endif
    if (AnswerInformationOptions(argc, argv))
        return 0;
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "servicetool: no display (DISPLAY is not set); start it in a desktop session "
                             "or under xvfb-run -a\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("servicetool");
    QApplication::setApplicationVersion(SERVICETOOL_VERSION);
    QGuiApplication::setDesktopFileName(SERVICETOOL_APP_ID);
    QApplication::setWindowIcon(QIcon(":/icons/servicetool.png"));
    const Options options = ParseOptions(QApplication::arguments());
    if (!options.error.empty()) {
        std::fprintf(stderr, "servicetool: %s\n%s", options.error.c_str(), kUsage);
        return 2;
    }

    QLockFile instanceLock(LockFilePath());
    instanceLock.setStaleLockTime(0);
    const bool anotherInstance = !instanceLock.tryLock(0);

    QtHost host;
    QtDialogs dialogs;
    QtSettingsStore settings;

    QtScheduler scheduler(host);
    std::unique_ptr<SimulatedLine> simulated;
    std::unique_ptr<QtSerialPort> realPort;
    SerialPort* port = nullptr;
    if (options.simulator) {
        simulated = std::make_unique<SimulatedLine>(options.simulatorModel, options.simulatorBootloader, scheduler);
        port = &simulated->Port();
    } else {
        realPort = std::make_unique<QtSerialPort>(PortResolver(&settings));
        port = realPort.get();
    }
    SerialLink link(*port, host, dialogs);

    const std::string appFolder = QCoreApplication::applicationDirPath().toStdString();
    Form1 window(AppServices{link, host, dialogs, settings, appFolder, ConfigSearchFolders(appFolder)});
    dialogs.SetParent(&window);
    if (options.simulator)
        std::printf("servicetool: simulated instrument %s on COMM1\n", options.simulatorModel.c_str());
    if (!window.Startup(anotherInstance))
        return 1;
    window.resize(780, 560);
    window.show();
    const int result = QApplication::exec();
    link.CloseSeriale();
    return result;
}
