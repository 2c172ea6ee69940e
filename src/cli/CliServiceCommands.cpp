#include "cli/CliCommandSet.h"

#include <optional>
#include <vector>

#include "cli/CliSink.h"
#include "params/ParamCatalogue.h"
#include "service/CalibrationDate.h"
#include "service/ServiceOperations.h"
#include "service/WifiRegisters.h"

namespace {

int Ended(CliRun& run, const OperationResult& result, const CliSink& sink)
{
    if (!result.ok())
        FailedWith(run, result, sink);
    return ExitStatusOf(NumberOf(result.code));
}

// "7/3/24": the day, month and year as typed; nothing unless there are three.
std::optional<DateTexts> DateOf(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find('/', start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    if (parts.size() != 3)
        return std::nullopt;
    return DateTexts{parts[0], parts[1], parts[2]};
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

// The register named on the command line, as the register list offers it; nullptr, the command
// refused, otherwise.
const WifiRegister* ListedRegister(CliRun& run, bool set)
{
    const std::string& given = run.options.operands[1];
    const auto number = RegisterNumber(given);
    const WifiRegister* reg = number ? FindWifiRegister(*number) : nullptr;
    if (!reg || !reg->Listed()) {
        Refuse(run, cli_exit::kUsage, "no register " + given + " in the register list");
        return nullptr;
    }
    if (set ? !reg->Writable() : !reg->Readable()) {
        Refuse(run, cli_exit::kUsage, Trim(RegisterEntry(*reg)) + (set ? " cannot be written" : " cannot be read"));
        return nullptr;
    }
    return reg;
}

int RunWifiRead(CliRun& run, const WifiRegister& reg)
{
    CliSink sink = run.Sink({});
    OperationContext context{run.link, sink, run.appFolder};
    const RegisterReadResult result = ReadRegister(context, {reg.number});
    run.result.Add("register", "0x" + HexNumber2(reg.number));
    if (result.ok()) {
        run.result.Add("value", result.value.value_or(""));
        run.output += result.value.value_or("") + "\n";
    }
    return Ended(run, result, sink);
}

int RunWifiWrite(CliRun& run, const WifiRegister& reg)
{
    const std::string& value = run.options.operands[2];
    RegisterWriteRequest request{reg.number, value, {}};
    if (reg.kind == WifiKind::Functions) {
        // The functions register is written from its four boxes: only their bits can be set.
        const auto quad = FourNumbers(value);
        if (!quad || FunctionsOfBoxes(FunctionBoxesOf(*quad)) != *quad)
            return Refuse(run, cli_exit::kUsage,
                          "0x20 takes four numbers whose only bits are those of the module's functions "
                          "(0.0.17.17 enables all four), not " + value);
        request = {reg.number, "", FunctionBoxesOf(*quad)};
    }
    CliSink sink = run.Sink({});
    OperationContext context{run.link, sink, run.appFolder};
    const RegisterWriteResult result = WriteRegister(context, request);
    run.result.Add("register", "0x" + HexNumber2(reg.number));
    return Ended(run, result, sink);
}

int RunWifiModule(CliRun& run, bool on)
{
    CliSink sink = run.Sink({});
    OperationContext context{run.link, sink, run.appFolder};
    return Ended(run, SwitchWifiModule(context, {on}), sink);
}

int RunRegisterFile(CliRun& run, bool save)
{
    CliAnswers answers;
    answers.file = run.options.operands[1];
    CliSink sink = run.Sink(answers);
    OperationContext context{run.link, sink, run.appFolder};
    const RegisterFileResult result = save ? ReadAllRegisters(context) : WriteAllRegisters(context);
    if (!result.path.empty())
        run.result.Add("file", result.path);
    return Ended(run, result, sink);
}

}  // namespace

int RunCaldate(CliRun& run)
{
    const auto& ops = run.options.operands;
    const bool set = ops[0] == "set";
    ParamCatalogue catalogue;
    catalogue.LoadFamily(ParamFamilies().front().entry);
    CalibrationDateRequest request{catalogue, {}};
    if (set) {
        const auto date = DateOf(ops[1]);
        if (!date)
            return Refuse(run, cli_exit::kUsage, "caldate set: DD/MM/YY, not " + ops[1]);
        request.date = *date;
    }
    CliSink sink = run.Sink({});
    OperationContext context{run.link, sink, run.appFolder};
    const CalibrationDateResult result = set ? SetCalibrationDate(context, request) : GetCalibrationDate(context, request);
    const DateTexts shown = result.date.value_or(request.date);
    JsonObject date;
    date.Add("day", shown.day).Add("month", shown.month).Add("year", shown.year);
    run.result.Add("date", date);
    if (result.ok())
        run.output += shown.day + "/" + shown.month + "/" + shown.year + "\n";
    return Ended(run, result, sink);
}

int RunWifi(CliRun& run)
{
    const std::string& sub = run.options.operands[0];
    if (sub == "get" || sub == "set") {
        const bool set = sub == "set";
        const WifiRegister* reg = ListedRegister(run, set);
        if (!reg)
            return cli_exit::kUsage;
        return set ? RunWifiWrite(run, *reg) : RunWifiRead(run, *reg);
    }
    if (sub == "on" || sub == "off")
        return RunWifiModule(run, sub == "on");
    return RunRegisterFile(run, sub == "save");
}
