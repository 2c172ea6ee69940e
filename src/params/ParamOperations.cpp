#include "params/ParamOperations.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "link/Identify.h"
#include "params/ParamCommands.h"

namespace {

const std::string kWait = ".. wait ..";

constexpr long long kIndexClamp = 1000000;

int Clamped(long long index)
{
    return static_cast<int>(std::clamp<long long>(index, -kIndexClamp, kIndexClamp));
}

// The index typed for Read or Write, or the refusal text when the text names no index of the family:
// no guess for a text that names none, so neither button ever falls back to parameter 0.
std::optional<int> TypedIndex(const std::string& text, int lastIndex, std::string& refusal)
{
    if (Trim(text).empty()) {
        refusal = "Error: Null TYPE string";
        return std::nullopt;
    }
    const auto typed = ParamIndexOfText(text);
    if (!typed || *typed < 0 || *typed > lastIndex) {
        refusal = ParamIndexOutOfRangeText(lastIndex);
        return std::nullopt;
    }
    return static_cast<int>(*typed);
}

class ParamRun {
public:
    ParamRun(OperationContext& context, const std::string& waitText) : context_(context), closer_(context.link)
    {
        context_.sink.ClearLog();
        context_.sink.Live(waitText);
    }

    // Opens the port and identifies the instrument; false (the serial error shown) when none answers.
    bool Identify(SerialErrorLayout layout)
    {
        const Identified identified = OpenAndIdentify(context_.link);
        if (!identified.ok()) {
            End(code::kNoFrame, SerialErrorText(layout));
            return false;
        }
        result.identified = true;
        result.instrument = identified.info;
        return true;
    }

    // Identifies the instrument, then takes the index the text names; nothing when the run ended
    // (no instrument, or a text that names no index of the family).
    std::optional<int> IdentifyAndTakeIndex(SerialErrorLayout layout, const ParamRequest& request)
    {
        if (!Identify(layout))
            return std::nullopt;
        std::string refusal;
        const auto typed = TypedIndex(request.indexText, request.lastIndex, refusal);
        if (!typed)
            End(code::kRefused, refusal);
        return typed;
    }

    // The outcome shown in the tab's status box; a failure without one is said by what came back.
    ParamResult& End(int code, const std::string& outcome)
    {
        context_.sink.ClearLog();
        context_.sink.Log(outcome);
        result.outcome = outcome;
        result.code = ResultCodeOf(code);
        if (code != code::kOk)
            result.reason = outcome.empty() ? AnswerStatement(context_.link, code) : outcome;
        return result;
    }

    ParamResult result;

private:
    OperationContext& context_;
    ClosePortOnExit closer_;
};

}  // namespace

std::string ParamIndexOutOfRangeText(int lastIndex)
{
    return "TYPE out of range (0-" + std::to_string(lastIndex) + ")";
}

std::optional<long long> ParamIndexOfText(const std::string& text)
{
    const std::string number = Trim(text);
    std::size_t i = 0;
    if (i < number.size() && (number[i] == '-' || number[i] == '+'))
        ++i;
    std::size_t digits = 0;
    bool point = false;
    for (; i < number.size(); ++i) {
        if (number[i] >= '0' && number[i] <= '9')
            ++digits;
        else if (number[i] == '.' && !point)
            point = true;
        else
            return std::nullopt;
    }
    if (digits == 0)
        return std::nullopt;
    return Clamped(RoundHalfEven(LeadingNumber(number)));
}

std::string ParamValueShown(int index, double value)
{
    return index == 0 ? ZeroPadded(std::llround(value), 8) : ParamNumberText(value);
}

std::string ParamNumberText(double value)
{
    if (!std::isfinite(value))
        return "0";
    char text[400];
    if (value == std::floor(value)) {
        std::snprintf(text, sizeof text, "%.0f", value + 0.0);
        return text;
    }
    // Fifteen significant digits, never in exponent form: a value shown may be written back.
    const int integerDigits = static_cast<int>(std::floor(std::log10(std::fabs(value)))) + 1;
    const int decimals = std::clamp(15 - integerDigits, 0, 30);
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string number = text;
    if (number.find('.') != std::string::npos) {
        number.erase(number.find_last_not_of('0') + 1);
        if (number.back() == '.')
            number.pop_back();
    }
    return number == "-0" ? "0" : number;
}

ParamResult ReadParameter(OperationContext& context, const ParamRequest& request)
{
    ParamRun run(context, kWait);
    run.result.value = "";
    const auto typed = run.IdentifyAndTakeIndex(SerialErrorLayout::NoBlankLine, request);
    if (!typed)
        return run.result;
    const int index = *typed;
    run.result.index = index;
    double value = 0.0;
    const int code = ReadParam(context.link, request.catalogue, index, value);
    if (code != code::kOk)
        return run.End(code, "");
    run.result.value = ParamValueShown(index, value);
    return run.End(code::kOk, "Reading OK");
}

ParamResult WriteParameter(OperationContext& context, const ParamRequest& request)
{
    ParamRun run(context, kWait);
    const auto typed = run.IdentifyAndTakeIndex(SerialErrorLayout::BlankLine, request);
    if (!typed)
        return run.result;
    const int index = *typed;
    if (request.valueText.empty())
        return run.End(code::kRefused, "Null VALUE string");
    const auto number = LeadingNumberOf(request.valueText);
    if (!number)
        return run.End(code::kRefused, "VALUE is not a number");
    const double value = *number;
    if (!ParamValueText(request.catalogue, index, value)) {
        const bool tooLong = request.catalogue.Type(index).Size == 0;
        return run.End(code::kRefused,
                       tooLong ? "VALUE too long (max 13 digits)" : "VALUE out of range for the parameter's width");
    }

    run.result.index = index;
    run.result.value = "";
    double written = 0.0;
    int code = WriteParam(context.link, request.catalogue, index, value, written);
    if (code == code::kOk) {
        std::string message;
        code = CommitParams(context.link, message);
    }
    if (code != code::kOk)
        return run.End(code, "");
    run.result.value = ParamNumberText(written);
    return run.End(code::kOk, "Writing OK");
}

ParamResult ReadIdentity(OperationContext& context)
{
    ParamRun run(context, "   wait ...");
    if (!run.Identify(SerialErrorLayout::BlankLine))
        return run.result;
    const InstrumentInfo& info = run.result.instrument;
    return run.End(code::kOk, info.Name + " SN. " + info.SerialNumber + kCrLf + "  fw:" + info.FwVersion + kCrLf);
}
