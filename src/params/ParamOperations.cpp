#include "params/ParamOperations.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "params/ParamCommands.h"

namespace {

const std::string kWait = ".. wait ..";

std::string SerialErrorText(bool blankLine)
{
    return std::string(" Serial error !!") + kCrLf + (blankLine ? kCrLf : "") + "  Check connection.";
}

bool Identify(SerialLink& link, InstrumentInfo& info, ParamView& view)
{
    link.InitSeriale(link.CommPortNumber, link.BaudText);
    if (ReadInstrumentInfo(link, info) != code::kOk)
        return false;
    view.ShowInstrument(info);
    return true;
}

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

int RunParamRead(SerialLink& link, const ParamCatalogue& catalogue, ParamView& view)
{
    view.SetValueText("");
    view.SetOutcome(kWait);
    InstrumentInfo info;
    if (!Identify(link, info, view)) {
        view.SetOutcome(SerialErrorText(false));
        return code::kNoFrame;
    }
    view.ShowBaud();
    std::string refusal;
    const auto typed = TypedIndex(view.IndexText(), view.LastIndex(), refusal);
    if (!typed) {
        view.SetOutcome(refusal);
        return code::kRefused;
    }
    const int index = *typed;
    view.SetIndexText(std::to_string(index));
    view.SetIndexPosition(index);
    double value = 0.0;
    const int code = ReadParam(link, catalogue, index, value);
    if (code != code::kOk) {
        view.SetOutcome("");
        return code;
    }
    view.SetValueText(index == 0 ? ZeroPadded(std::llround(value), 8) : ParamNumberText(value));
    view.SetOutcome("Reading OK");
    return code::kOk;
}

int RunParamWrite(SerialLink& link, const ParamCatalogue& catalogue, ParamView& view)
{
    view.SetOutcome(kWait);
    InstrumentInfo info;
    if (!Identify(link, info, view)) {
        view.SetOutcome(SerialErrorText(true));
        return code::kNoFrame;
    }
    view.ShowBaud();
    const std::string valueText = view.ValueText();
    std::string refusal;
    const auto typed = TypedIndex(view.IndexText(), view.LastIndex(), refusal);
    if (!typed) {
        view.SetOutcome(refusal);
        return code::kRefused;
    }
    const int index = *typed;
    if (valueText.empty()) {
        view.SetOutcome("Null VALUE string");
        return code::kRefused;
    }
    const auto number = LeadingNumberOf(valueText);
    if (!number) {
        view.SetOutcome("VALUE is not a number");
        return code::kRefused;
    }
    const double value = *number;
    if (!ParamValueText(catalogue, index, value)) {
        const bool tooLong = catalogue.Type(index).Size == 0;
        view.SetOutcome(tooLong ? "VALUE too long (max 13 digits)" : "VALUE out of range for the parameter's width");
        return code::kRefused;
    }

    view.SetIndexPosition(index);
    view.SetValueText("");
    double written = 0.0;
    int code = WriteParam(link, catalogue, index, value, written);
    if (code == code::kOk) {
        std::string message;
        code = CommitParams(link, message);
    }
    if (code != code::kOk) {
        view.SetOutcome("");
        return code;
    }
    view.SetOutcome("Writing OK");
    view.SetValueText(ParamNumberText(written));
    return code::kOk;
}

int RunParamInfo(SerialLink& link, ParamView& view)
{
    view.SetOutcome("   wait ...");
    InstrumentInfo info;
    if (!Identify(link, info, view)) {
        view.SetOutcome(SerialErrorText(true));
        return code::kNoFrame;
    }
    view.ShowBaud();
    view.SetOutcome(info.Name + " SN. " + info.SerialNumber + kCrLf + "  fw:" + info.FwVersion + kCrLf);
    return code::kOk;
}
