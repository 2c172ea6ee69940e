#include "cli/CliCommandSet.h"


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

// ------------------------------------------------------------------------- service

namespace {

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

}  // namespace

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

namespace {

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
    const PanelState panel = SecondListPanel(kWifiRegisterCommand, index);
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

}  // namespace

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

