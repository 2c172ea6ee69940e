#pragma once

#include <optional>
#include <string>

#include "core/Operation.h"
#include "link/Identification.h"
#include "link/OperationContext.h"
#include "params/ParamCatalogue.h"

// The Param tab's request: the family's catalogue as loaded, its last index, and the texts typed.
struct ParamRequest {
    const ParamCatalogue& catalogue;
    int lastIndex = 0;
    std::string indexText;
    std::string valueText;  // Write only
};

struct ParamResult : OperationResult {
    bool identified = false;           // the instrument answered its identification
    InstrumentInfo instrument;
    std::optional<int> index;          // the index the text names, once accepted
    std::optional<std::string> value;  // what the value box shows now; nothing: as typed
    std::string outcome;               // the tab's status text ("Reading OK")
};

// Read, Write and Info of the Param tab, from opening the port to closing it. The status text goes
// to the sink as the operation's log (".. wait .." while it runs) and is the result's outcome.
ParamResult ReadParameter(OperationContext& context, const ParamRequest& request);
ParamResult WriteParameter(OperationContext& context, const ParamRequest& request);
ParamResult ReadIdentity(OperationContext& context);

// A value read as the Param tab shows it: index 0 (the serial number) with eight digits.
std::string ParamValueShown(int index, double value);

// Decimal text of a parameter value: no grouping, never an exponent, no trailing zeros.
std::string ParamNumberText(double value);

// The index a text names: the whole text (blanks around it aside) is one decimal number, taken to
// the nearest integer, halves to the even one. Nothing for an empty text or one that is not a
// number ("abc", "12abc", "-").
std::optional<long long> ParamIndexOfText(const std::string& text);

// "TYPE out of range (0-<last>)".
std::string ParamIndexOutOfRangeText(int lastIndex);
