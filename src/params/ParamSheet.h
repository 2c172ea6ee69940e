#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/Host.h"
#include "core/Operation.h"
#include "link/Identification.h"
#include "link/InstrumentModels.h"
#include "link/OperationContext.h"

// Every parameter of a family at once: read from the instrument into a sheet, saved as CSV, and
// compared with a sheet saved earlier.

struct ParamSheetRow {
    int index = 0;
    std::string description;
    std::optional<std::string> value;  // as `param get` shows it; nothing when it was refused
    std::string reason;                // why the instrument gave no value
};

struct ParamSheet {
    InstrumentInfo instrument;
    std::string familyCode;  // "31400" or "31420"
    LocalDateTime readAt;
    std::vector<ParamSheetRow> rows;
};

struct ParamSheetRequest {
    std::string familyCode;     // empty: the family of the instrument identified
    std::string requiredFamily; // when set, an instrument of another family is refused before reading
};

struct ParamSheetResult : OperationResult {
    bool identified = false;
    ParamSheet sheet;         // the rows read, in index order, as far as the run got
    bool complete = false;    // every index of the family was asked
};

// No answer this many times in a row: the link is lost and the reading stops.
constexpr int kSheetLostLinkRuns = 3;

// Identifies the instrument once, then reads indexes 0..last of the family in order. An index the
// instrument refuses is kept with its reason and the reading goes on; three exchanges in a row
// without an answer stop it (code 3); Stop ends it after the index under way.
ParamSheetResult ReadParameterSheet(OperationContext& context, const ParamSheetRequest& request);

// The sheet as CSV (RFC 4180, CR LF): a comment line "# NAME SERIAL FIRMWARE YYYY-MM-DDTHH:MM:SS",
// the header "index,description,value", a row per index, and a comment line per refused index
// ("# refused 17: the instrument answered NAK").
std::string SheetCsv(const ParamSheet& sheet);
// One CSV field: quoted when it holds a comma, a quote, a line end or blanks at either end.
std::string CsvField(const std::string& text);

// A sheet read back from its CSV; nothing, with the reason, for a text that is not one. The family
// is the one whose descriptions the rows carry.
struct ParsedSheet {
    std::optional<ParamSheet> sheet;
    std::string problem;
};
ParsedSheet ParseSheetCsv(const std::string& text);

struct ParamDifference {
    int index = 0;
    std::string description;
    std::string saved;  // "" when the saved sheet has no value
    std::string now;
};
// The indexes whose value differs between the two sheets, in index order (an index missing from
// either sheet is not compared).
std::vector<ParamDifference> CompareSheets(const ParamSheet& saved, const ParamSheet& now);
