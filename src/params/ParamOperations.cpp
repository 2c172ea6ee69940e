#include "params/ParamOperations.h"

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

bool Identify(SerialLink& link, InstrumentInfo& info)
{
    link.InitSeriale(link.CommPortNumber, link.BaudText);
    return ReadInstrumentInfo(link, info) == code::kOk;
}

int IndexOf(const std::string& text)
{
    const long long rounded = RoundHalfEven(LeadingNumber(text));
    return static_cast<int>(std::clamp<long long>(rounded, -1000000, 1000000));
}

std::string OutOfRangeText(int limit)
{
    return "TYPE out of range (0-" + std::to_string(limit) + ")";
}

}  // namespace

std::string ParamNumberText(double value)
{
    char text[64];
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        std::snprintf(text, sizeof text, "%.0f", value);
    else
        std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

int RunParamRead(SerialLink& link, const ParamCatalogue& catalogue, ParamView& view)
{
    view.SetValueText("");
    view.SetOutcome(kWait);
    const int index = IndexOf(view.IndexText());
    view.SetIndexText(std::to_string(index));

    InstrumentInfo info;
    if (!Identify(link, info)) {
        view.SetOutcome(SerialErrorText(false));
        return code::kNoFrame;
    }
    view.ShowBaud();
    const int limit = view.LastIndex();
    if (index < 0 || index > limit) {
        view.SetOutcome(OutOfRangeText(limit));
        return code::kRefused;
    }
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
    if (!Identify(link, info)) {
        view.SetOutcome(SerialErrorText(true));
        return code::kNoFrame;
    }
    view.ShowBaud();
    const int limit = view.LastIndex();
    const std::string indexText = view.IndexText();
    const std::string valueText = view.ValueText();
    const int index = IndexOf(indexText);
    if (indexText.empty()) {
        view.SetOutcome("Error: Null TYPE string");
        return code::kRefused;
    }
    if (index < 0 || index > limit) {
        view.SetOutcome(OutOfRangeText(limit));
        return code::kRefused;
    }
    if (valueText.empty()) {
        view.SetOutcome("Null VALUE string");
        return code::kRefused;
    }
    const double value = LeadingNumber(valueText);
    if (!ParamValueText(catalogue, index, value)) {
        view.SetOutcome(value < 0 ? "VALUE out of range for the parameter's width" : "VALUE too long (max 13 digits)");
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
    if (!Identify(link, info)) {
        view.SetOutcome(SerialErrorText(true));
        return code::kNoFrame;
    }
    view.ShowBaud();
    view.SetOutcome(info.Name + " SN. " + info.SerialNumber + kCrLf + "  fw:" + info.FwVersion + kCrLf);
    return code::kOk;
}
