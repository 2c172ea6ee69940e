// servicetool: the service tool's main window, on the serial ports of this machine or, with
// --simulator, on a simulated instrument.
#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <cstdio>
#include <memory>

#include "app/Form1.h"
#include "link/Registry.h"
#include "platform/QtDialogs.h"
#include "platform/QtHost.h"
#include "platform/QtScheduler.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "sim/SimBoards.h"
#include "sim/SimInstrument.h"
#include "sim/SimPort.h"

namespace {

struct Options {
    bool simulator = false;
    bool simulatorBootloader = false;  // the CPU board starts in its bootloader
    std::string simulatorModel = "VRTA708";
};

Options ParseOptions(const QStringList& arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--simulator") {
            options.simulator = true;
        } else if (arguments[i] == "--simulator-bootloader") {
            options.simulator = true;
            options.simulatorBootloader = true;
        } else if (arguments[i] == "--simulator-model" && i + 1 < arguments.size()) {
            options.simulator = true;
            options.simulatorModel = arguments[++i].toStdString();
        }
    }
    return options;
}

QString LockFilePath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
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
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "servicetool: no display (DISPLAY is not set); start it in a desktop session "
                             "or under xvfb-run -a\n");
        return 2;
    }
    QApplication app(argc, argv);
    const Options options = ParseOptions(QApplication::arguments());

    QLockFile instanceLock(LockFilePath());
    instanceLock.setStaleLockTime(0);
    const bool anotherInstance = !instanceLock.tryLock(0);

    QtHost host;
    QtDialogs dialogs;
    QtSettingsStore settings;

    SimIdentity identity;
    identity.name = options.simulatorModel;
    SimInstrument instrument(identity);
    const bool lumFamily = IsRecordCountParam26Device(options.simulatorModel);
    instrument.SetParamFamily(lumFamily ? "31420 QS-LUMPROB" : "31400 QMX, VERTA");
    SimBoards boards(instrument);
    if (options.simulatorBootloader)
        boards.StartCpuInBootloader();
    QtScheduler scheduler(host);
    std::unique_ptr<SerialPort> port;
    if (options.simulator) {
        auto simPort = std::make_unique<SimPort>(boards, scheduler);
        simPort->SetExistingPorts({1});
        simPort->SetPacing(true);
        port = std::move(simPort);
    } else {
        auto realPort = std::make_unique<QtSerialPort>(PortResolver(&settings));
        port = std::move(realPort);
    }
    SerialLink link(*port, host, dialogs);

    const std::string appFolder = QCoreApplication::applicationDirPath().toStdString();
    Form1 window(AppServices{link, host, dialogs, settings, appFolder});
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
