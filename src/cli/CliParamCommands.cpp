#include "cli/CliCommandSet.h"

#include "cli/CliSink.h"
#include "params/ParamCatalogue.h"
#include "params/ParamOperations.h"
#include "params/ParamSheet.h"

#include <fstream>
#include <sstream>

#include "core/Files.h"

namespace {

int Ended(CliRun& run, const ParamResult& result, const CliSink& sink)
{
    if (result.identified)
        AddInstrument(run, result.instrument);
    if (!result.ok())
        FailedWith(run, result, sink);
    return ExitStatusOf(NumberOf(result.code));
}

std::vector<JsonObject> RowsJson(const ParamSheet& sheet)
{
    std::vector<JsonObject> rows;
    for (const ParamSheetRow& row : sheet.rows) {
        JsonObject entry;
        entry.Add("index", row.index).Add("description", row.description);
        if (row.value)
            entry.Add("value", *row.value);
        else
            entry.Add("reason", row.reason);
        rows.push_back(entry);
    }
    return rows;
}

// Each index the instrument gave no value for, on standard error.
void SayRefusals(CliRun& run, const ParamSheet& sheet)
{
    for (const ParamSheetRow& row : sheet.rows)
        if (!row.value)
            run.log.PrintLine("index " + std::to_string(row.index) + ": " + row.reason);
}

ParamSheetResult ReadSheet(CliRun& run, ParamSheetRequest request)
{
    if (request.familyCode.empty())
        request.familyCode = run.options.family;
    CliSink sink = run.Sink({});
    OperationContext context{run.link, sink, run.appFolder};
    ParamSheetResult result = ReadParameterSheet(context, request);
    if (result.identified)
        AddInstrument(run, result.sheet.instrument);
    if (!result.ok())
        FailedWith(run, result, sink);
    SayRefusals(run, result.sheet);
    return result;
}

int RunParamDump(CliRun& run)
{
    const ParamSheetResult result = ReadSheet(run, {});
    if (!result.identified)
        return ExitStatusOf(NumberOf(result.code));
    const std::string csv = SheetCsv(result.sheet);
    const std::string& file = run.options.outDir;
    if (!file.empty()) {
        std::string why;
        if (!WriteWholeFile(file, csv, why))
            return Refuse(run, cli_exit::kFailed, "the sheet cannot be written to " + file + ": " + why);
        run.output += file + "\n";
        run.result.Add("file", file);
    } else if (!run.options.json) {
        run.output += csv;
    }
    if (!result.complete)
        run.log.PrintLine("the sheet holds the " + std::to_string(result.sheet.rows.size()) + " parameters read");
    run.result.Add("family", result.sheet.familyCode).Add("parameters", RowsJson(result.sheet));
    return ExitStatusOf(NumberOf(result.code));
}

std::optional<ParamSheet> SavedSheet(CliRun& run, const std::string& path, int& status)
{
    std::ifstream in(FsPath(path), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        status = Refuse(run, cli_exit::kUsage, "no sheet can be read from " + path);
        return std::nullopt;
    }
    const ParsedSheet parsed = ParseSheetCsv(text.str());
    if (!parsed.sheet)
        status = Refuse(run, cli_exit::kUsage, path + " is not a parameter sheet: " + parsed.problem);
    return parsed.sheet;
}

int RunParamDiff(CliRun& run)
{
    int status = 0;
    const auto saved = SavedSheet(run, run.options.operands[1], status);
    if (!saved)
        return status;
    const ParamSheetResult result = ReadSheet(run, {"", saved->familyCode});
    if (!result.ok())
        return ExitStatusOf(NumberOf(result.code));
    const std::vector<ParamDifference> differences = CompareSheets(*saved, result.sheet);
    std::vector<JsonObject> listed;
    if (!differences.empty())
        run.output += "index,description,sheet,instrument\n";
    for (const ParamDifference& d : differences) {
        run.output += std::to_string(d.index) + "," + CsvField(d.description) + "," + CsvField(d.saved) + "," +
                      CsvField(d.now) + "\n";
        JsonObject entry;
        entry.Add("index", d.index).Add("description", d.description).Add("sheet", d.saved).Add("instrument", d.now);
        listed.push_back(entry);
    }
    run.result.Add("family", result.sheet.familyCode).Add("differences", listed);
    const std::string count = std::to_string(differences.size()) + " of " +
                              std::to_string(result.sheet.rows.size()) + " parameters differ from the sheet";
    run.log.PrintLine(count);
    if (differences.empty())
        return 0;
    run.failure = {count, true};  // said already: the differences are the answer, not a fault
    return 1;
}

}  // namespace

int RunInfo(CliRun& run)
{
    CliSink sink = run.Sink({});
    OperationContext context{run.link, sink, run.appFolder};
    const ParamResult result = ReadIdentity(context);
    if (result.ok()) {
        const InstrumentInfo& info = result.instrument;
        run.output += info.Name + " " + info.SerialNumber + " " + info.FwVersion + "\n";
    }
    return Ended(run, result, sink);
}

int RunParam(CliRun& run)
{
    const std::vector<std::string>& ops = run.options.operands;
    if (ops[0] == "dump")
        return RunParamDump(run);
    if (ops[0] == "diff")
        return RunParamDiff(run);
    const bool write = ops[0] == "set";
    const ParamFamily& family = FamilyOf(run.options.family);
    ParamCatalogue catalogue;
    catalogue.LoadFamily(family.entry);
    const ParamRequest request{catalogue, family.lastIndex, ops[1], write ? ops[2] : ""};
    CliSink sink = run.Sink({});
    OperationContext context{run.link, sink, run.appFolder};
    const ParamResult result = write ? WriteParameter(context, request) : ReadParameter(context, request);

    run.result.Add("family", family.entry);
    if (result.index) {
        run.result.Add("index", *result.index).Add("description", catalogue.Description(*result.index));
    }
    if (result.ok()) {
        run.result.Add("value", result.value.value_or(""));
        run.output += result.value.value_or("") + "\n";
    }
    run.result.Add("outcome", result.outcome);
    return Ended(run, result, sink);
}
