#pragma once

#include <optional>
#include <string>

#include "link/Identification.h"
#include "link/SerialLink.h"
#include "params/ParamCatalogue.h"

// What the parameter operations need of the Param tab.
class ParamView {
public:
    virtual ~ParamView() = default;
    virtual std::string IndexText() const = 0;
    virtual void SetIndexText(const std::string& text) = 0;
    virtual std::string ValueText() const = 0;
    virtual void SetValueText(const std::string& text) = 0;
    virtual void SetIndexPosition(int index) = 0;  // the scroll bar
    virtual void SetOutcome(const std::string& text) = 0;
    virtual void ShowBaud() = 0;                   // status bar: the speed in use
    virtual int LastIndex() const = 0;             // of the selected family
    // The instrument that answered the identification.
    virtual void ShowInstrument(const InstrumentInfo&) {}
};

// The three buttons of the Param tab, from opening the port to the outcome text. Each returns its
// code; the caller closes the port and enables the controls again.
int RunParamRead(SerialLink& link, const ParamCatalogue& catalogue, ParamView& view);
int RunParamWrite(SerialLink& link, const ParamCatalogue& catalogue, ParamView& view);
int RunParamInfo(SerialLink& link, ParamView& view);

// Decimal text of a parameter value: no grouping, never an exponent, no trailing zeros.
std::string ParamNumberText(double value);

// The index a text names: the whole text (blanks around it aside) is one decimal number, taken to
// the nearest integer, halves to the even one. Nothing for an empty text or one that is not a
// number ("abc", "12abc", "-").
std::optional<long long> ParamIndexOfText(const std::string& text);

// "TYPE out of range (0-<last>)".
std::string ParamIndexOutOfRangeText(int lastIndex);
