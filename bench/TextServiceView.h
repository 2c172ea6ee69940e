#pragma once

#include <array>
#include <string>
#include <vector>

#include "service/ServiceView.h"

// The Service tab as plain values: what a terminal front end would hold. Keeps every log text shown.
struct TextServiceView : ServiceView {
    std::string command;
    int entryIndex = -1;
    std::string entryText;
    std::string log;
    std::vector<std::string> logs;  // every text the log showed, in order
    bool valueBoxShown = false;
    std::string valueBox;
    std::array<bool, 4> functions{};
    std::array<std::string, 3> date;

    std::string Command() const override { return command; }
    int SecondListIndex() const override { return entryIndex; }
    std::string SecondListText() const override { return entryText; }
    std::string Log() const override { return log; }
    void SetLog(const std::string& text) override
    {
        log = text;
        logs.push_back(text);
    }
    void RefreshLog() override {}
    bool ValueBoxShown() const override { return valueBoxShown; }
    std::string ValueBoxText() const override { return valueBox; }
    void SetValueBoxText(const std::string& text) override { valueBox = text; }
    std::array<bool, 4> FunctionBoxes() const override { return functions; }
    void SetFunctionBoxes(const std::array<bool, 4>& ticked) override { functions = ticked; }
    std::string DateText(DateField field) const override { return date[static_cast<std::size_t>(field)]; }
    void SetDateText(DateField field, const std::string& text) override { date[static_cast<std::size_t>(field)] = text; }
};
