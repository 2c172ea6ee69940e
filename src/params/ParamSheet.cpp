#include "params/ParamSheet.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "core/Bytes.h"
#include "link/Commands.h"
#include "link/Identify.h"
#include "params/ParamCatalogue.h"
#include "params/ParamCommands.h"
#include "params/ParamOperations.h"

namespace {

const char* const kHeader = "index,description,value";
const std::string kRefusedTag = "# refused ";

const ParamFamily& FamilyToRead(const std::string& requested, const InstrumentInfo& info)
{
    if (const ParamFamily* family = ParamFamilyByCode(requested))
        return *family;
    const DeviceModel* model = FindDeviceModel(info.Name);
    if (const ParamFamily* family = model ? ParamFamilyByCode(model->familyCode) : nullptr)
        return *family;
    return ParamFamilies().front();
}

std::string TimeText(const LocalDateTime& t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

std::optional<LocalDateTime> TimeOfText(const std::string& text)
{
    LocalDateTime t;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second,
                    &tail) != 6)
        return std::nullopt;
    return t;
}

// The fields of one CSV record; nothing for a record that is not well formed.
std::optional<std::vector<std::string>> CsvFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool inQuotes = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
                if (i + 1 < line.size() && line[i + 1] != ',')
                    return std::nullopt;
            } else {
                fields.back() += c;
            }
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c == '"' && fields.back().empty()) {
            inQuotes = true;
        } else if (c == '"') {
            return std::nullopt;
        } else {
            fields.back() += c;
        }
    }
    if (inQuotes)
        return std::nullopt;
    return fields;
}

std::optional<int> WholeNumber(const std::string& text)
{
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoi(text);
}

std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::optional<InstrumentInfo> InstrumentOfCommentLine(const std::string& line, LocalDateTime& readAt)
{
    if (line.rfind("# ", 0) != 0)
        return std::nullopt;
    std::vector<std::string> words;
    for (std::size_t at = 2; at < line.size();) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at)
            words.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    if (words.size() < 4)
        return std::nullopt;
    const auto time = TimeOfText(words.back());
    if (!time)
        return std::nullopt;
    readAt = *time;
    InstrumentInfo info;
    info.FwVersion = words[words.size() - 2];
    info.SerialNumber = words[words.size() - 3];
    for (std::size_t i = 0; i + 3 < words.size(); ++i)
        info.Name += (i ? " " : "") + words[i];
    return info;
}

// The family whose catalogue gives every row its description.
std::optional<std::string> FamilyOfRows(const std::vector<ParamSheetRow>& rows)
{
    for (const ParamFamily& family : ParamFamilies()) {
        ParamCatalogue catalogue;
        catalogue.LoadFamily(family.entry);
        const bool all = std::all_of(rows.begin(), rows.end(), [&](const ParamSheetRow& row) {
            return row.index <= family.lastIndex && catalogue.Description(row.index) == row.description;
        });
        if (all)
            return family.code;
    }
    return std::nullopt;
}

}  // namespace

ParamSheetResult ReadParameterSheet(OperationContext& context, const ParamSheetRequest& request)
{
    ParamSheetResult result;
    OperationSink& sink = context.sink;
    SerialLink& link = context.link;
    ClosePortOnExit closer(link);
    sink.ClearLog();
    const Identified identified = OpenAndIdentify(link);
    if (!identified.ok()) {
        result.code = ResultCode::NoFrame;
        result.reason = SerialErrorText();
        sink.Log(result.reason);
        return result;
    }
    result.identified = true;
    ParamSheet& sheet = result.sheet;
    sheet.instrument = identified.info;
    sheet.readAt = link.host().LocalNow();
    const ParamFamily& family = FamilyToRead(request.familyCode, sheet.instrument);
    sheet.familyCode = family.code;
    if (!request.requiredFamily.empty() && request.requiredFamily != family.code) {
        result.code = ResultCode::Refused;
        result.reason = "the sheet holds parameters of the " + request.requiredFamily + " family, the instrument's are of the " +
                        family.code + " family: nothing compared";
        sink.Log(result.reason + kCrLf);
        return result;
    }
    ParamCatalogue catalogue;
    catalogue.LoadFamily(family.entry);
    sink.Log(sheet.instrument.Name + " SN. " + sheet.instrument.SerialNumber + "  fw:" + sheet.instrument.FwVersion +
             kCrLf + "Parameters " + family.entry + kCrLf);

    int silentInRow = 0;
    for (int index = 0; index <= family.lastIndex; ++index) {
        if (sink.StopRequested() || link.host().Quitting()) {
            result.interruption.kind = Interruption::Kind::Stopped;
            result.reason = "stopped after " + std::to_string(sheet.rows.size()) + " of " +
                            std::to_string(family.lastIndex + 1) + " parameters";
            break;
        }
        sink.Live("Parameter " + std::to_string(index) + "/" + std::to_string(family.lastIndex));
        ParamSheetRow row{index, catalogue.Description(index), std::nullopt, ""};
        double value = 0.0;
        const int code = ReadParam(link, catalogue, index, value);
        if (code == code::kOk)
            row.value = ParamValueShown(index, value);
        else
            row.reason = AnswerStatement(link, code);
        silentInRow = code == code::kNoFrame ? silentInRow + 1 : 0;
        sheet.rows.push_back(row);
        sink.Progress((index + 1) * 100 / (family.lastIndex + 1), "");
        if (silentInRow >= kSheetLostLinkRuns) {
            result.code = ResultCode::NoFrame;
            result.reason = "no answer " + std::to_string(kSheetLostLinkRuns) + " times in a row (indexes " +
                            std::to_string(index - kSheetLostLinkRuns + 1) + "-" + std::to_string(index) +
                            "): the link is lost";
            break;
        }
    }
    sink.Live("");
    result.complete = !sheet.rows.empty() && sheet.rows.back().index == family.lastIndex && result.code == ResultCode::Ok;
    sink.Log(result.complete ? "Read " + std::to_string(sheet.rows.size()) + " parameters" + kCrLf
                             : result.reason + kCrLf);
    return result;
}

// RFC 4180: a field with a comma, a quote, a line end or blanks at either end is quoted, its quotes
// doubled.
std::string CsvField(const std::string& text)
{
    const bool quoted = text.find_first_of(",\"\r\n") != std::string::npos ||
                        (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quoted)
        return text;
    std::string field = "\"";
    for (const char c : text)
        field += c == '"' ? std::string("\"\"") : std::string(1, c);
    return field + "\"";
}

std::string SheetCsv(const ParamSheet& sheet)
{
    const InstrumentInfo& info = sheet.instrument;
    std::string csv = "# " + info.Name + " " + info.SerialNumber + " " + info.FwVersion + " " + TimeText(sheet.readAt) +
                      kCrLf + kHeader + kCrLf;
    std::string refused;
    for (const ParamSheetRow& row : sheet.rows) {
        csv += std::to_string(row.index) + "," + CsvField(row.description) + "," + CsvField(row.value.value_or("")) +
               kCrLf;
        if (!row.value)
            refused += kRefusedTag + std::to_string(row.index) + ": " + row.reason + kCrLf;
    }
    return csv + refused;
}

ParsedSheet ParseSheetCsv(const std::string& text)
{
    const std::vector<std::string> lines = LinesOf(text);
    ParamSheet sheet;
    const auto instrument = lines.empty() ? std::nullopt : InstrumentOfCommentLine(lines[0], sheet.readAt);
    if (!instrument)
        return {std::nullopt, "its first line is not \"# NAME SERIAL FIRMWARE TIME\""};
    sheet.instrument = *instrument;
    if (lines.size() < 2 || lines[1] != kHeader)
        return {std::nullopt, std::string("its second line is not \"") + kHeader + "\""};
    std::map<int, std::string> refusals;
    for (std::size_t n = 2; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        const std::string where = "line " + std::to_string(n + 1);
        if (line.empty())
            continue;
        if (line.rfind(kRefusedTag, 0) == 0) {
            const std::size_t colon = line.find(": ");
            const auto index = WholeNumber(line.substr(kRefusedTag.size(), colon - kRefusedTag.size()));
            if (colon == std::string::npos || !index)
                return {std::nullopt, where + " is not \"# refused INDEX: REASON\""};
            refusals[*index] = line.substr(colon + 2);
            continue;
        }
        const auto fields = CsvFields(line);
        const auto index = fields && fields->size() == 3 ? WholeNumber((*fields)[0]) : std::nullopt;
        if (!index)
            return {std::nullopt, where + " is not \"index,description,value\""};
        if (!sheet.rows.empty() && *index <= sheet.rows.back().index)
            return {std::nullopt, where + ": index " + std::to_string(*index) + " is out of order"};
        const std::string& value = (*fields)[2];
        sheet.rows.push_back({*index, (*fields)[1], value.empty() ? std::nullopt : std::optional(value), ""});
    }
    for (ParamSheetRow& row : sheet.rows)
        if (const auto refusal = refusals.find(row.index); refusal != refusals.end())
            row.reason = refusal->second;
    const auto family = FamilyOfRows(sheet.rows);
    if (!family)
        return {std::nullopt, "its descriptions are those of no parameter family"};
    sheet.familyCode = *family;
    return {sheet, ""};
}

std::vector<ParamDifference> CompareSheets(const ParamSheet& saved, const ParamSheet& now)
{
    std::map<int, const ParamSheetRow*> current;
    for (const ParamSheetRow& row : now.rows)
        current[row.index] = &row;
    std::vector<ParamDifference> differences;
    for (const ParamSheetRow& row : saved.rows) {
        const auto other = current.find(row.index);
        if (other == current.end())
            continue;
        const std::string before = row.value.value_or("");
        const std::string after = other->second->value.value_or("");
        if (before != after)
            differences.push_back({row.index, row.description, before, after});
    }
    return differences;
}
