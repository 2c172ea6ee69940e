#pragma once

#include <array>
#include <functional>
#include <string>

#include "cli/CliLog.h"
#include "core/Host.h"
#include "firmware/UploadView.h"
#include "link/Identification.h"
#include "service/ServiceView.h"

// The tabs as a terminal shows them: each log box is the log on standard error, each progress bar
// the progress line, each option box and text field a value taken from the command line.

class CliUploadView : public UploadView {
public:
    CliUploadView(CliLog& log, Host& host, bool speed57600);

    std::string Text() const override { return text_; }
    void SetText(const std::string& text) override;
    void SetBarRange(int, int) override {}
    void SetBarValue(int value) override;
    void SetBarVisible(bool visible) override;
    void SetPercentText(const std::string&) override {}
    void SetPercentVisible(bool) override {}
    void SetControlsEnabled(bool) override {}
    bool Speed57600Chosen() const override { return speed57600_; }

private:
    CliLog& log_;
    Host& host_;
    bool speed57600_;
    std::string text_;
};

// Service: the command and the second-list entry the command line names; every value box shown,
// so every value read is kept.
class CliServiceView : public ServiceView {
public:
    CliServiceView(CliLog& log, std::string command, int entryIndex, std::string entryText);

    std::string Command() const override { return command_; }
    int SecondListIndex() const override { return entryIndex_; }
    std::string SecondListText() const override { return entryText_; }
    std::string Log() const override { return log_text_; }
    void SetLog(const std::string& text) override;
    void RefreshLog() override {}
    bool ValueBoxShown() const override { return true; }
    std::string ValueBoxText() const override { return value; }
    void SetValueBoxText(const std::string& text) override { value = text; }
    std::array<bool, 4> FunctionBoxes() const override { return functions; }
    void SetFunctionBoxes(const std::array<bool, 4>& ticked) override { functions = ticked; }
    std::string DateText(DateField field) const override { return date[Slot(field)]; }
    void SetDateText(DateField field, const std::string& text) override { date[Slot(field)] = text; }

    std::string value;
    std::array<bool, 4> functions{};
    std::array<std::string, 3> date;  // day, month, year

private:
    static std::size_t Slot(DateField field) { return static_cast<std::size_t>(field); }

    CliLog& log_;
    std::string command_;
    int entryIndex_;
    std::string entryText_;
    std::string log_text_;
};
