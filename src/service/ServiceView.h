#pragma once

#include <array>
#include <string>

// What the service operations need of the Service tab: the chosen command and entry, the log, the
// value box, the four function boxes and the three calibration-date boxes.
class ServiceView {
public:
    virtual ~ServiceView() = default;

    virtual std::string Command() const = 0;       // text of the command list
    virtual int SecondListIndex() const = 0;       // -1 with nothing selected
    virtual std::string SecondListText() const = 0;

    virtual std::string Log() const = 0;
    virtual void SetLog(const std::string& text) = 0;
    // Shows the log as it is now, before the operation goes on.
    virtual void RefreshLog() = 0;
    void AppendLog(const std::string& text) { SetLog(Log() + text); }

    virtual bool ValueBoxShown() const = 0;
    virtual std::string ValueBoxText() const = 0;
    virtual void SetValueBoxText(const std::string& text) = 0;

    // chkFunc 0..3.
    virtual std::array<bool, 4> FunctionBoxes() const = 0;
    virtual void SetFunctionBoxes(const std::array<bool, 4>& ticked) = 0;

    enum class DateField { Day, Month, Year };
    virtual std::string DateText(DateField field) const = 0;
    virtual void SetDateText(DateField field, const std::string& text) = 0;
};
