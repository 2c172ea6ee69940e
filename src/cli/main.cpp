// servicetool-cli: every operation of the service tool's window, from a terminal or a script.
#include <QCoreApplication>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliPort.h"
#include "core/FeatureConfig.h"
#include "core/Files.h"
#include "core/Bytes.h"
#include "platform/ConfigPlaces.h"
#include "platform/Console.h"
#include "platform/PortResolver.h"
#include "platform/QtHost.h"
#include "platform/QtScheduler.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "sim/SimulatedLine.h"

#ifndef SERVICETOOL_VERSION
#define SERVICETOOL_VERSION "unknown"
#endif

namespace {

constexpr const char* kDefaultModel = "VRTA708";
constexpr const char* kDefaultBaud = "115200";

// param dump and param diff keep what they read so far.
bool ReadsEveryParameter(const CliOptions& options)
{
    return options.command == "param" && !options.operands.empty() &&
           (options.operands[0] == "dump" || options.operands[0] == "diff");
}

// The window's configuration file, found where the window finds it, or the one --config names.
std::vector<Feature> SwitchedOnFeatures(const CliOptions& options, const std::string& appFolder)
{
    if (!options.configFile.empty())
        return ReadFeatures(options.configFile);
    const auto path = FindConfigFile(ConfigSearchFolders(appFolder));
    return path ? ReadFeatures(*path) : std::vector<Feature>{};
}

int SavedPort(const QtSettingsStore& settings)
{
    return static_cast<int>(RoundHalfEven(std::clamp(LeadingNumber(settings.Value("Startup", "CommPort", "1")), -1.0, 99.0)));
}

// A command line refused before anything is opened; with --json the one JSON object says it too.
int RefuseCommandLine(const std::string& why, bool json, const char* hint = "")
{
    std::fprintf(stderr, "servicetool-cli: %s\n%s", why.c_str(), hint);
    if (json) {
        JsonObject result;
        result.Add("error", why).Add("status", cli_exit::kUsage).Add("messages", std::vector<std::string>{});
        std::printf("%s\n", result.Text().c_str());
    }
    return cli_exit::kUsage;
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);  // a file past the size limit fails to write and is reported
#endif
    const CliParseResult parsed = ParseCliArguments(Utf8Arguments(argc, argv));
    if (!parsed.options)
        return RefuseCommandLine(parsed.error, parsed.json, "(servicetool-cli --help tells the commands and options)\n");
    const CliOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(CliUsage(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("servicetool-cli %s\n", SERVICETOOL_VERSION);
        return 0;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("servicetool");
    QCoreApplication::setApplicationVersion(SERVICETOOL_VERSION);

    const Console console;
    CliLog log(stderr, console.Terminal(), console.Width());
    CliDialogs dialogs(log);
    QtHost host;
    QtSettingsStore settings;
    QtScheduler scheduler(host);

    const CliPortChoice choice = ChooseCliPort(options.simulator ? std::string() : options.port, SavedPort(settings));
    if (!choice.error.empty())
        return RefuseCommandLine(choice.error, options.json);
    std::error_code noFile;
    if (!options.configFile.empty() && !std::filesystem::is_regular_file(FsPath(options.configFile), noFile))
        return RefuseCommandLine("--config: no file named " + options.configFile, options.json);
    std::unique_ptr<SimulatedLine> simulated;
    std::unique_ptr<QtSerialPort> realPort;
    SerialPort* port = nullptr;
    int portNumber = choice.number;
    if (options.simulator) {
        // With the simulated instrument a flash finds its CPU board in the bootloader, as the
        // technician would start it with its keys held.
        simulated = std::make_unique<SimulatedLine>(options.model.empty() ? kDefaultModel : options.model,
                                                    options.command == "flash", scheduler);
        port = &simulated->Port();
        portNumber = SimulatedLine::kPortNumber;
    } else if (!choice.device.empty()) {
        realPort = std::make_unique<QtSerialPort>(PortResolver::Only(choice.number, choice.device));
        port = realPort.get();
        dialogs.NamePort(choice.number, choice.device);
    } else {
        realPort = std::make_unique<QtSerialPort>(PortResolver(&settings));
        port = realPort.get();
    }
    SerialLink link(*port, host, dialogs);
    link.CommPortNumber = portNumber;
    link.BaudText = options.baud.empty() ? kDefaultBaud : options.baud;

    // Ctrl-C: a backup or restore stops after its current block or page; programming a board is
    // not left half-way on the first press; anything else stops at once.
    bool interrupted = false;
    int presses = 0;
    const ConsoleInterrupts interrupts([&] {
        ++presses;
        const std::string& command = options.command;
        if (command == "flash" && presses == 1) {
            log.PrintLine("servicetool-cli: a board is being programmed; stopping now leaves it without "
                          "firmware. Press Ctrl-C again to stop anyway.");
            return;
        }
        interrupted = true;
        if ((command == "backup" || command == "restore") && presses == 1) {
            log.PrintLine("servicetool-cli: stopping after the current block or page ...");
            return;
        }
        if (ReadsEveryParameter(options) && presses == 1) {
            log.PrintLine("servicetool-cli: stopping after the current parameter ...");
            return;
        }
        // What the operation says from now on is about the exchange it gives up.
        log.Freeze();
        host.RequestQuit();
    });

    JsonObject result;
    const std::string appFolder = QCoreApplication::applicationDirPath().toStdString();
    CliRun run{link, dialogs, log, options, result, appFolder, interrupted, {}, {}};
    run.features = SwitchedOnFeatures(options, appFolder);
    const int status = RunCliCommand(run);
    link.CloseSeriale();
    log.Finish();
    if (options.json) {
        result.Add("status", status);
        result.Add("messages", dialogs.Messages());
        std::printf("%s\n", result.Text().c_str());
    } else {
        std::fputs(run.output.c_str(), stdout);
    }
    return status;
}
