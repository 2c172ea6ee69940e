#include "cli/CliCommands.h"
#include "cli/CliCommandSet.h"
#include "cli/CliFeatures.h"
#include "cli/CliSink.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "cli/CliPort.h"
#include "core/Files.h"
#include "core/Paths.h"
#include "core/ResultCodes.h"
#include "link/Answers.h"
#include "link/Commands.h"
#include "link/Identify.h"
#include "link/InstrumentModels.h"

namespace {



std::string StatusStatement(const CliRun& run, int status)
{
    switch (status) {
    case cli_exit::kFailed: return "failed";
    case cli_exit::kUsage: return "refused";
    case cli_exit::kNoSuchPort: return "no such port";
    case cli_exit::kInterrupted: return "stopped with Ctrl-C";
    default: return AnswerStatement(run.link, status);
    }
}

// The port as the command line named it (a device path, or the COM number with its device).
std::string PortNamed(const CliRun& run)
{
    const std::string& given = run.options.port;
    if (!given.empty() && !ChooseCliPort(given, 1).device.empty())
        return given;
    const std::string number = "COM" + std::to_string(run.link.CommPortNumber);
    const std::string& device = run.link.LastOpenError().device;
    return device.empty() || device == number ? number : number + " (" + device + ")";
}

// --model: nothing is done unless the instrument says it is that device.
int CheckModel(CliRun& run)
{
    const CliOptions& o = run.options;
    if (o.model.empty() || o.simulator || o.command == "flash")
        return 0;
    const Identified identified = OpenAndIdentify(run.link);
    run.link.CloseSeriale();
    const InstrumentInfo& info = identified.info;
    if (!identified.ok())
        return Refuse(run, ExitStatusOf(identified.code), "no instrument answers (" + info.Message + ")");
    if (info.Name != o.model)
        return Refuse(run, ExitStatusOf(code::kRefused),
                      "the instrument is " + info.Name + ", not " + o.model + ": nothing was done");
    return 0;
}


}  // namespace

// The command as the technician gave it: "param set 5 9".
std::string CommandWords(const CliOptions& o)
{
    std::string words = o.command;
    for (const std::string& operand : o.operands)
        words += " " + operand;
    return words;
}

// A log text as standard error shows it: one line per line, blank lines at either end left out.
std::string AsLines(const std::string& logText)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = logText.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(logText.substr(start, at - start));
    lines.push_back(logText.substr(start));
    const auto blank = [](const std::string& line) { return Trim(line).empty(); };
    const auto first = std::find_if_not(lines.begin(), lines.end(), blank);
    const auto last = std::find_if_not(lines.rbegin(), std::make_reverse_iterator(first), blank).base();
    std::string text;
    for (auto line = first; line != last; ++line)
        text += (line == first ? "" : "\n") + *line;
    return text;
}

int Refuse(CliRun& run, int status, const std::string& why)
{
    run.failure = {why, false};
    return status;
}

// The window's log said what failed; standard error has it already. A log without a word leaves
// the failure to be said otherwise.
void WindowSaid(CliRun& run, const std::string& logText)
{
    const std::string text = AsLines(logText);
    if (!text.empty())
        run.failure = {text, true};
}

void AddInstrument(CliRun& run, const InstrumentInfo& info)
{
    JsonObject instrument;
    instrument.Add("name", info.Name).Add("serial", info.SerialNumber).Add("firmware", info.FwVersion);
    run.result.Add("instrument", instrument);
}

const ParamFamily& FamilyOf(const std::string& option)
{
    const auto& families = ParamFamilies();
    return option == "31420" ? families.at(1) : families.at(0);
}

bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return std::filesystem::equivalent(FsPath(a), FsPath(b), error);
}

bool EndsWithEpr(const std::string& path)
{
    return path.size() >= 3 && ToUpperAscii(path.substr(path.size() - 3)) == "EPR";
}

bool EndsWithNoCase(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && ToUpperAscii(text.substr(text.size() - end.size())) == ToUpperAscii(end);
}

void FailedWith(CliRun& run, const OperationResult& result, const CliSink& sink)
{
    const std::string reason = AsLines(result.reason);
    if (reason.empty())
        return;
    const bool shown = AsLines(sink.Text()).find(reason) != std::string::npos;
    run.failure = {shown ? reason : CommandWords(run.options) + ": " + reason, shown};
}

CliSink CliRun::Sink(CliAnswers answers)
{
    return CliSink(log, dialogs, link.host(), std::move(answers), interrupted);
}

namespace {
int RunTheCommand(CliRun& run);
}  // namespace

int ExitStatusOf(int resultCode)
{
    if (resultCode == code::kPortMissing)
        return cli_exit::kNoSuchPort;
    if (resultCode < 0 || resultCode > 255)
        return cli_exit::kFailed;
    return resultCode;
}

int RunCliCommand(CliRun& run)
{
    run.result.Add("command", run.options.command);
    int status = RunTheCommand(run);
    const std::string words = CommandWords(run.options);
    // However the operation went on after it, a port that cannot be opened is what failed.
    const PortOpenResult& open = run.link.LastOpenError();
    if (status != 0 && status != cli_exit::kInterrupted && !open.ok()) {
        if (open.kind == PortOpenResult::Kind::NotFound)
            status = cli_exit::kNoSuchPort;
        run.failure = {words + ": " + PortNamed(run) + " cannot be opened: " + open.description, false};
    }
    if (run.interrupted) {
        status = cli_exit::kInterrupted;
        run.failure = {words + ": " + StatusStatement(run, status), false};
    }
    run.log.Finish();
    if (status != 0) {
        if (run.failure.text.empty())
            run.failure = {words + ": " + StatusStatement(run, status), false};
        if (!run.failure.shown)
            run.log.PrintLine("servicetool-cli: " + run.failure.text);
        run.result.Add("error", run.failure.text);
    }
    return status;
}

namespace {

int RunTheCommand(CliRun& run)
{
    if (const auto refusal = GateRefusal(run.options, run.features))
        return Refuse(run, cli_exit::kSwitchedOff, *refusal);
    if (const int refused = CheckModel(run); refused != 0)
        return refused;
    const std::string& command = run.options.command;
    if (command == "info")
        return RunInfo(run);
    if (command == "param")
        return RunParam(run);
    if (command == "backup")
        return RunBackup(run);
    if (command == "restore")
        return RunRestore(run);
    if (command == "flash")
        return RunFlash(run);
    if (command == "caldate")
        return RunCaldate(run);
    if (command == "wifi")
        return RunWifi(run);
    return Refuse(run, cli_exit::kUsage, "unknown command '" + command + "'");
}

}  // namespace
