#pragma once

#include <string>
#include <vector>

// Commands of the service list.
constexpr const char* kWifiSettingCommand = "WiFi setting";
constexpr const char* kWifiRegisterCommand = "WiFi register";
constexpr const char* kCalibrationDateCommand = "Calibration date";

// Second list of "WiFi setting": the index is the module sub-command.
const std::vector<std::string>& WifiModuleStates();
constexpr int kModuleOn = 1;
// Entry selected when "WiFi register" is chosen ("0x0F AP MAC address       R").
constexpr int kFirstRegisterEntry = 5;

// What the tab offers after a choice in the second list.
struct PanelState {
    bool valueBox = false;
    bool get = false;
    bool set = false;
    bool functions = false;  // fraFunc shown, the log hidden
    std::string log;         // the hint
};
// For the command shown and the second-list entry chosen (-1: none).
PanelState SecondListPanel(const std::string& command, int entryIndex);

// Log text right after a command is chosen.
std::string CommandTitle(const std::string& command);

// Captions of chkFunc 0..3.
const std::vector<std::string>& FunctionBoxCaptions();
