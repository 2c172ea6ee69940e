#pragma once

#include <functional>
#include <string>

#include "firmware/UploadView.h"

// An Upload view without widgets, for a terminal front end and for tools: it keeps the log text,
// the progress values and the controls' state, and can report every change of the log.
class TextUploadView : public UploadView {
public:
    std::string Text() const override { return log; }
    void SetText(const std::string& text) override
    {
        log = text;
        if (onLog)
            onLog(log);
    }
    void SetBarRange(int minimum, int maximum) override
    {
        barMinimum = minimum;
        barMaximum = maximum;
    }
    void SetBarValue(int value) override { barValue = value; }
    void SetBarVisible(bool visible) override { barVisible = visible; }
    void SetPercentText(const std::string& text) override { percentText = text; }
    void SetPercentVisible(bool visible) override { percentVisible = visible; }
    void SetControlsEnabled(bool enabled) override { controlsEnabled = enabled; }
    bool Speed57600Chosen() const override { return speed57600; }

    std::string log;
    int barMinimum = 0;
    int barMaximum = 100;
    int barValue = 0;
    bool barVisible = false;
    std::string percentText;
    bool percentVisible = false;
    bool controlsEnabled = true;
    bool speed57600 = true;
    std::function<void(const std::string&)> onLog;
};
