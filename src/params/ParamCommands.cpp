#include "params/ParamCommands.h"

#include <cmath>
#include <cstdio>

#include "core/ResultCodes.h"
#include "link/Answers.h"
#include "link/Frames.h"

namespace {

double WidthRange(int size)
{
    switch (size) {
    case 1: return 256.0;
    case 2: return 65536.0;
    case 4: return 4294967296.0;
    default: return 0.0;
    }
}

double SignCorrected(double value, const ParamType& type)
{
    if (!type.Signed)
        return value;
    const double range = WidthRange(type.Size);
    if (range > 0.0 && value > range / 2.0 - 1.0)
        return value - range;
    return value;
}

std::string IntegerText(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

Bytes IndexPayload(std::uint8_t command, int index)
{
    return {command, static_cast<std::uint8_t>((index >> 8) & 0xFF), static_cast<std::uint8_t>(index & 0xFF)};
}

}  // namespace

int ReadParam(SerialLink& link, const ParamCatalogue& catalogue, int index, double& value)
{
    if (index < 0 || index > 0xFFFF)
        return code::kRefused;
    Bytes payload = IndexPayload('l', index);
    payload.push_back(0x00);
    link.SendFrame(payload, kAnswerWaitS);
    int result = code::kOk;
    const std::string text = GetAnswerText(link.Rx, false, result);
    if (result != code::kOk)
        return result;
    if (!IsWellFormedAnswer(link.Rx, ctl::SOH))
        return code::kMalformed;
    // An instrument that answers "not OK" or "busy" has sent no value; never read that as 0.
    std::string message;
    const int status = DecodeAnswer(3, link.Rx.RxBuffer, link.Rx.RxCount, message);
    if (status == code::kNotOk || status == code::kBusy)
        return status;
    // A text with no number in it is no value either.
    const auto number = LeadingNumberOf(text);
    if (!number)
        return code::kMalformed;
    value = SignCorrected(*number, catalogue.Type(index));
    return code::kOk;
}

std::optional<std::string> ParamValueText(const ParamCatalogue& catalogue, int index, double value)
{
    // Whole numbers only ("-0.4" is 0, never "-0"); a value the parameter's width cannot hold,
    // signed or unsigned, is refused rather than cut down to something else.
    double y = std::nearbyint(value) + 0.0;
    const double range = WidthRange(catalogue.Type(index).Size);
    if (!std::isfinite(y) || (range > 0.0 && (y < -range / 2.0 || y > range - 1.0)))
        return std::nullopt;
    if (y < 0)
        y += range;
    if (y < 0)
        return std::nullopt;
    std::string text = IntegerText(y);
    if (text.size() > kMaxParamValueDigits)
        return std::nullopt;
    return text;
}

int WriteParam(SerialLink& link, const ParamCatalogue& catalogue, int index, double value, double& written)
{
    written = std::nearbyint(value) + 0.0;
    const auto text = ParamValueText(catalogue, index, value);
    if (!text || index < 0 || index > 0xFFFF)
        return code::kRefused;
    Bytes payload = IndexPayload('i', index);
    payload.insert(payload.end(), text->begin(), text->end());
    link.SendFrame(payload, kAnswerWaitS);
    if (!link.Rx.RxFrameDone)
        return code::kNoFrame;
    double readBack = 0.0;
    const int result = ReadParam(link, catalogue, index, readBack);
    if (result != code::kOk)
        return result;
    return readBack == written ? code::kOk : code::kReadBackDiffers;
}
