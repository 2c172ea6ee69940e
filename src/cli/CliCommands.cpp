#include "cli/CliCommands.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "cli/CliPort.h"
#include "cli/CliViews.h"
#include "core/Paths.h"
#include "core/ResultCodes.h"
#include "firmware/FirmwareUpload.h"
#include "firmware/UploadTargets.h"
#include "link/Answers.h"
#include "link/Commands.h"
#include "link/Frames.h"
#include "link/InstrumentModels.h"
#include "memory/ImageFiles.h"
#include "memory/MemoryDownload.h"
#include "memory/MemoryUpload.h"
#include "memory/TransferReport.h"
#include "params/ParamCatalogue.h"
#include "service/ServiceOperations.h"
#include "service/ServicePanel.h"
#include "service/WifiRegisters.h"

namespace {

constexpr const char* kFlashSpeed = "57600";

int Refuse(CliRun& run, int status, const std::string& why)
{
    run.failure = {why, false};
    return status;
}

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

// The window's log said what failed; standard error has it already. A log without a word leaves
// the failure to be said otherwise.
void WindowSaid(CliRun& run, const std::string& logText)
{
    const std::string text = AsLines(logText);
    if (!text.empty())
        run.failure = {text, true};
}

// What came back in the exchange that ended with `code`, from the bytes the link received.
std::string AnswerStatement(const SerialLink& link, int code)
{
    const RxState& rx = link.Rx;
    if (code == code::kReadBackDiffers) {
        int answered = code::kOk;
        const std::string text = GetAnswerText(rx, false, answered);
        return "the value read back differs from the value written" +
               (answered == code::kOk && !text.empty() ? " (read back: " + text + ")" : std::string());
    }
    if (code == code::kRefused)
        return "refused before sending";
    if (code == code::kMalformed)
        return MalformedAnswerText(rx);
    if (rx.RxAck == ctl::NAK)
        return "the instrument answered NAK";
    const std::string received = " (" + NoAnswerText(link) + ")";
    switch (code) {
    case code::kNoFrame: return "no complete answer" + received;
    case code::kNak: return "the instrument answered NAK" + received;
    case code::kNotOk: return "the instrument answered not OK" + received;
    case code::kBusy: return "the instrument is busy" + received;
    case code::kShortFlashBlock: return "a flash block answer was too short" + received;
    default: return "result code " + std::to_string(code) + received;
    }
}

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
    return std::filesystem::equivalent(a, b, error);
}

bool EndsWithEpr(const std::string& path)
{
    return path.size() >= 3 && ToUpperAscii(path.substr(path.size() - 3)) == "EPR";
}

bool EndsWithNoCase(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && ToUpperAscii(text.substr(text.size() - end.size())) == ToUpperAscii(end);
}

// --model: nothing is done unless the instrument says it is that device.
int CheckModel(CliRun& run)
{
    const CliOptions& o = run.options;
    if (o.model.empty() || o.simulator || o.command == "flash")
        return 0;
    run.link.InitSeriale(run.link.CommPortNumber, run.link.BaudText);
    InstrumentInfo info;
    const int code = ReadInstrumentInfo(run.link, info);
    run.link.CloseSeriale();
    if (code != code::kOk)
        return Refuse(run, ExitStatusOf(code), "no instrument answers (" + info.Message + ")");
    if (info.Name != o.model)
        return Refuse(run, ExitStatusOf(code::kRefused),
                      "the instrument is " + info.Name + ", not " + o.model + ": nothing was done");
    return 0;
}

// ------------------------------------------------------------------------- info and param

int RunInfo(CliRun& run)
{
    CliParamView view(run.log, "", "", 0);
    const int code = RunParamInfo(run.link, view);
    run.link.CloseSeriale();
    if (code == code::kOk) {
        AddInstrument(run, view.instrument);
        run.output += view.instrument.Name + " " + view.instrument.SerialNumber + " " + view.instrument.FwVersion + "\n";
    } else {
        WindowSaid(run, view.Outcome());
    }
    return ExitStatusOf(code);
}

int RunParam(CliRun& run)
{
    const std::vector<std::string>& ops = run.options.operands;
    const bool write = ops[0] == "set";
    const ParamFamily& family = FamilyOf(run.options.family);
    ParamCatalogue catalogue;
    catalogue.LoadFamily(family.entry);
    CliParamView view(run.log, ops[1], write ? ops[2] : "", family.lastIndex);
    const int code = write ? RunParamWrite(run.link, catalogue, view) : RunParamRead(run.link, catalogue, view);
    run.link.CloseSeriale();

    const int index = std::stoi(ops[1]);
    run.result.Add("family", family.entry).Add("index", index);
    if (index <= family.lastIndex)
        run.result.Add("description", catalogue.Description(index));
    if (code == code::kOk) {
        run.result.Add("value", view.ValueText());
        run.output += view.ValueText() + "\n";
    } else {
        WindowSaid(run, view.Outcome());
    }
    run.result.Add("outcome", view.Outcome());
    return ExitStatusOf(code);
}

// ------------------------------------------------------------------------- memories

// The unexpected failures of a transfer, as the window reports them.
int ReportTransferFailure(CliRun& run, const TransferFailure& failure)
{
    ShowTransferFailure(run.dialogs, failure);
    if (!run.dialogs.Messages().empty())
        run.failure = {run.dialogs.Messages().back(), true};
    return failure.kind == TransferFailure::Kind::PortMissing ? cli_exit::kNoSuchPort : cli_exit::kFailed;
}

int TransferExit(CliRun& run, int code, const TransferFailure& failure, const CliDownMemView& view)
{
    if (run.interrupted)
        return cli_exit::kInterrupted;
    if (failure.failed() && failure.kind != TransferFailure::Kind::Cancelled)
        return ReportTransferFailure(run, failure);
    if (code != code::kOk)
        WindowSaid(run, view.Status());
    return ExitStatusOf(code);
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int RunBackup(CliRun& run)
{
    const CliOptions& o = run.options;
    CliMemoryChoice choice;
    const bool chosen = o.eeprom || o.flashRange || o.flashMisOnly;
    choice.eeprom = !chosen || o.eeprom;
    choice.flash = !chosen || o.flashRange || o.flashMisOnly;
    choice.recordCountRange = o.flashMisOnly;
    if (o.flashRange) {
        const auto dash = o.flashRange->find('-');
        choice.fromPage = o.flashRange->substr(0, dash);
        choice.toPage = o.flashRange->substr(dash + 1);
    }
    const std::string folder = o.outDir.empty() ? "." : o.outDir;
    if (!std::filesystem::is_directory(folder))
        return Refuse(run, cli_exit::kUsage, "--out: no folder named " + folder);

    const std::vector<std::string> before = FilesIn(folder);
    run.dialogs.SaveWith(folder);
    // The bar follows the flash stage.
    if (choice.flash && !choice.recordCountRange) {
        const long pages = std::stol(choice.toPage) - std::stol(choice.fromPage) + 1;
        if (pages > 0)
            run.log.SetTransferSize(4096.0 * static_cast<double>(pages));
    }
    ParamCatalogue catalogue;
    catalogue.LoadFamily(ParamFamilies().front().entry);
    CliDownMemView view(run.log, run.link.host(), choice, run.interrupted);
    MemoryDownload download(run.link, run.dialogs, catalogue, view, run.appFolder);
    const int code = download.Run();
    run.link.CloseSeriale();

    std::vector<std::string> saved;
    for (const std::string& name : FilesIn(folder))
        if (!std::binary_search(before.begin(), before.end(), name))
            saved.push_back(JoinPath(folder, name));
    if (!download.Info().Name.empty())
        AddInstrument(run, download.Info());
    run.result.Add("files", saved);
    for (const std::string& file : saved)
        run.output += file + "\n";
    return TransferExit(run, code, download.Failure(), view);
}

int RunRestore(CliRun& run)
{
    const CliOptions& o = run.options;
    CliMemoryChoice choice;
    if (o.clearAll) {
        choice.clearAll = true;
        choice.eeprom = true;  // the clear-all stage unticks it
    } else {
        for (const std::string& file : o.operands) {
            std::error_code error;
            if (!std::filesystem::exists(file, error))
                return Refuse(run, cli_exit::kUsage, "no file named " + file);
        }
        const std::string& first = o.operands[0];
        const std::string second = o.operands.size() > 1 ? o.operands[1] : std::string();
        choice.eeprom = EndsWithEpr(first);
        choice.flash = !choice.eeprom || !second.empty();
        if (!choice.eeprom && !second.empty())
            return Refuse(run, cli_exit::kUsage, "give the .epr image first, then its .fla image");
        if (!second.empty()) {
            const auto belonging = FindFlashImageFor(first);
            if (!belonging || !SameFile(*belonging, second))
                return Refuse(run, cli_exit::kUsage,
                              second + " is not the flash image that belongs to " + first +
                                  (belonging ? " (that is " + *belonging + ")" : ""));
        }
        run.dialogs.OpenWith(first);
    }
    // The window asks before it writes, and again when a flash image's pages are not the fields'
    // pages: --yes answers both; without it nothing is written.
    if (o.yes) {
        run.dialogs.Answer("Warning", MsgAnswer::Yes);
        run.dialogs.Answer("PAGE NUMBER WARNING", MsgAnswer::Yes);
    }

    CliDownMemView view(run.log, run.link.host(), choice, run.interrupted);
    MemoryUpload upload(run.link, run.dialogs, view, run.appFolder);
    const int code = upload.Run();
    run.link.CloseSeriale();

    const auto refused = [&](const char* title) {
        const auto& titles = run.dialogs.Refused();
        return std::find(titles.begin(), titles.end(), title) != titles.end();
    };
    if (refused("Warning"))
        return Refuse(run, ExitStatusOf(code::kRefused),
                      "restore writes into the instrument: nothing was written; give --yes to confirm");
    if (refused("RETRY"))
        return Refuse(run, ExitStatusOf(code == code::kOk ? code::kMalformed : code),
                      "a flash page failed more than 10 times in a row: the upload stopped there");
    return TransferExit(run, code, upload.Failure(), view);
}

// ------------------------------------------------------------------------- firmware

int RunFlash(CliRun& run)
{
    const CliOptions& o = run.options;
    const bool package = !o.package.empty();
    const std::string target = !o.target.empty() ? o.target : package ? kPackageTargetName : std::string();
    if (!target.empty()) {
        const FirmwareTarget* known = FindFirmwareTarget(target);
        if (!known)
            return Refuse(run, cli_exit::kUsage, "--target: no firmware target named " + target);
        if ((known->flow == FirmwareFlow::TwoBoardPackage) != package)
            return Refuse(run, cli_exit::kUsage,
                          package ? target + " takes one image, not a package"
                                  : target + " takes a package: flash --package PACKAGE");
    }
    const std::string path = package ? o.package : o.operands[0];
    if (!package && EndsWithNoCase(path, ".pkg"))
        return Refuse(run, cli_exit::kUsage, path + " is a package: flash --package " + path);
    if (!target.empty() && !package && !FileFitsTarget(*FindFirmwareTarget(target), FileNameOfPath(path)))
        return Refuse(run, cli_exit::kUsage,
                      "the image of " + target + " is a file " + FilePattern(*FindFirmwareTarget(target)) + ", not " +
                          FileNameOfPath(path));
    FirmwareChoice choice;
    choice.FirmwareFile = choice.ChosenFile = path;
    choice.ChosenTitle = FileNameOfPath(path);
    const std::string folder = FolderOfPath(path);
    choice.ChosenFolder = folder.empty() ? std::string() : folder + "/";

    run.link.BaudText = o.baud.empty() ? kFlashSpeed : o.baud;
    if (!package) {
        std::error_code error;
        const auto size = std::filesystem::file_size(path, error);
        if (!error)
            run.log.SetTransferSize(static_cast<double>(size));
    }
    CliUploadView view(run.log, run.link.host(), o.link57600);
    PageImage image;
    FirmwareUpload upload(run.link, view, choice, image);
    const bool done = upload.Run(package);
    if (run.link.host().Quitting())
        return cli_exit::kInterrupted;
    if (!done)
        WindowSaid(run, view.Text());
    return done ? 0 : cli_exit::kFailed;
}

// ------------------------------------------------------------------------- service

// An operation of the Service tab; one that ends without a word (a value it cannot send, a file
// it cannot use) is said so here.
int RunService(CliRun& run, CliServiceView& view, ServiceButton button, const std::string& whyQuiet)
{
    ParamCatalogue catalogue;
    catalogue.LoadFamily(ParamFamilies().front().entry);
    ServiceContext context{run.link, run.dialogs, catalogue, run.appFolder};
    const int code = RunServiceButton(context, view, button);
    run.link.CloseSeriale();
    if (code == code::kRefused && Trim(view.Log()).empty())
        return Refuse(run, ExitStatusOf(code), whyQuiet);
    if (code != code::kOk)
        WindowSaid(run, view.Log());
    return ExitStatusOf(code);
}

int RunCaldate(CliRun& run)
{
    const auto& ops = run.options.operands;
    const bool set = ops[0] == "set";
    CliServiceView view(run.log, kCalibrationDateCommand, -1, "");
    if (set) {
        std::vector<std::string> parts;
        std::size_t start = 0;
        for (std::size_t at; (at = ops[1].find('/', start)) != std::string::npos; start = at + 1)
            parts.push_back(ops[1].substr(start, at - start));
        parts.push_back(ops[1].substr(start));
        if (parts.size() != 3)
            return Refuse(run, cli_exit::kUsage, "caldate set: DD/MM/YY, not " + ops[1]);
        view.date = {parts[0], parts[1], parts[2]};
    }
    const int status = RunService(run, view, set ? ServiceButton::Set : ServiceButton::Get, "nothing was done");
    JsonObject date;
    date.Add("day", view.date[0]).Add("month", view.date[1]).Add("year", view.date[2]);
    run.result.Add("date", date);
    if (status == 0)
        run.output += view.date[0] + "/" + view.date[1] + "/" + view.date[2] + "\n";
    return status;
}

// "0x12", "12h" or "12": a register number in hexadecimal.
std::optional<int> RegisterNumber(std::string text)
{
    if (text.size() > 2 && (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0))
        text = text.substr(2);
    else if (!text.empty() && (text.back() == 'h' || text.back() == 'H'))
        text.pop_back();
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    return std::stoi(text, nullptr, 16);
}

// "a.b.c.d" with four whole numbers 0..255.
std::optional<WifiQuad> FourNumbers(const std::string& text)
{
    WifiQuad quad{};
    std::size_t start = 0;
    for (std::size_t i = 0; i < quad.size(); ++i) {
        const std::size_t dot = i + 1 < quad.size() ? text.find('.', start) : text.size();
        if (dot == std::string::npos)
            return std::nullopt;
        const std::string group = text.substr(start, dot - start);
        if (group.empty() || group.size() > 3 || group.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        quad[i] = std::stoi(group);
        if (quad[i] > 255)
            return std::nullopt;
        start = dot + 1;
    }
    return quad;
}

int RunWifiRegister(CliRun& run, const std::string& sub)
{
    const auto& ops = run.options.operands;
    const auto number = RegisterNumber(ops[1]);
    const auto& entries = WifiRegisterEntries();
    int index = -1;
    for (std::size_t i = 1; number && i < entries.size(); ++i)
        if (RegisterNumberOfEntry(entries[i]) == *number)
            index = static_cast<int>(i);
    if (index < 0)
        return Refuse(run, cli_exit::kUsage, "no register " + ops[1] + " in the register list");
    const std::string& entry = entries[static_cast<std::size_t>(index)];
    const PanelState panel = SecondListPanel(kWifiRegisterCommand, index, entry);
    const bool set = sub == "set";
    if (set ? !panel.set : !panel.get)
        return Refuse(run, cli_exit::kUsage, Trim(entry) + (set ? " cannot be written" : " cannot be read"));

    CliServiceView view(run.log, kWifiRegisterCommand, index, entry);
    if (set && *number == wifireg::kFunctions) {
        // The functions register is written from its four boxes: only their bits can be set.
        const auto quad = FourNumbers(ops[2]);
        if (!quad || FunctionsOfBoxes(FunctionBoxesOf(*quad)) != *quad)
            return Refuse(run, cli_exit::kUsage,
                          "0x20 takes four numbers whose only bits are those of the module's functions "
                          "(0.0.17.17 enables all four), not " + ops[2]);
        view.functions = FunctionBoxesOf(*quad);
    } else if (set) {
        view.value = ops[2];
    }
    const int status = RunService(run, view, set ? ServiceButton::Set : ServiceButton::Get,
                                  set ? "the value " + ops[2] + " cannot be sent to " + Trim(entry) : "nothing was read");
    run.result.Add("register", "0x" + HexNumber2(*number));
    if (!set && status == 0) {
        run.result.Add("value", view.value);
        run.output += view.value + "\n";
    }
    return status;
}

int RunWifi(CliRun& run)
{
    const auto& ops = run.options.operands;
    const std::string& sub = ops[0];
    if (sub == "get" || sub == "set")
        return RunWifiRegister(run, sub);
    if (sub == "on" || sub == "off") {
        const int state = sub == "on" ? kModuleOn : 0;
        CliServiceView view(run.log, kWifiSettingCommand, state, WifiModuleStates().at(static_cast<std::size_t>(state)));
        return RunService(run, view, ServiceButton::Set, "nothing was done");
    }
    const bool save = sub == "save";
    CliServiceView view(run.log, kWifiRegisterCommand, 0, WifiRegisterEntries().front());
    if (save)
        run.dialogs.SaveWith(ops[1]);
    else
        run.dialogs.OpenWith(ops[1]);
    const std::string whyQuiet = "the register file " + ops[1] + " could not be " +
        (save ? "created" : "read, or holds a value that cannot be sent: nothing was written");
    const int status = RunService(run, view, save ? ServiceButton::Get : ServiceButton::Set, whyQuiet);
    // The window's log names the register being written; when the write fails it stays as it was.
    const std::string writing = "Writing register ";
    const std::string last = AsLines(view.Log());
    if (!save && status != 0 && last.rfind(writing, 0) == 0 && last.find('\n') == std::string::npos)
        run.failure = {CommandWords(run.options) + ": writing register " + last.substr(writing.size()) +
                           " failed: " + AnswerStatement(run.link, status),
                       false};
    return status;
}

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
