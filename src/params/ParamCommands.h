#pragma once

#include <string>

#include "link/SerialLink.h"
#include "params/ParamCatalogue.h"

// The value text of a write holds at most this many characters (16-byte payload).
constexpr std::size_t kMaxParamValueDigits = 13;

// 'l' idxH idxL 0: reads parameter `index`; the unsigned text is turned into a signed value when
// the catalogue says the parameter is signed. An answer whose text holds no number gives code 7.
int ReadParam(SerialLink& link, const ParamCatalogue& catalogue, int index, double& value);

// 'i' idxH idxL digits: writes `value` and reads it back (code 4 when it differs). Negative values
// are sent as their two's complement of the parameter's width; fractions are rounded to the
// nearest integer, and `written` receives the value actually written. Values that cannot be
// written (too many digits, outside -R/2..R-1 for a width of R values) are refused with code 21
// before sending.
int WriteParam(SerialLink& link, const ParamCatalogue& catalogue, int index, double value, double& written);

// The unsigned decimal text sent for a value, or nothing when it cannot be sent.
std::optional<std::string> ParamValueText(const ParamCatalogue& catalogue, int index, double value);
