#include "service/ServicePanel.h"

#include "core/Bytes.h"
#include "service/WifiDecode.h"
#include "service/WifiRegisters.h"

namespace {

bool TypedValueRegister(int n)
{
    return n == 0x03 || n == 0x09 || (n >= 0x10 && n <= 0x17) || (n >= 0x21 && n <= 0x2F);
}

bool ReadableRegister(int n)
{
    return (n >= 0x03 && n <= 0x30) || n == 0x40;
}

bool WritableRegister(int n)
{
    return n == 0x00 || n == 0x03 || n == 0x09 || (n >= 0x10 && n <= 0x17) || (n >= 0x20 && n <= 0x2F);
}

std::string Hint(int n)
{
    const std::string quad = std::string("4 numeri 0-255 separati da <.>") + kCrLf + kCrLf;
    switch (n) {
    case 0x09: {
        std::string text;
        for (int mode = 0; mode <= 5; ++mode)
            text += (mode ? kCrLf : "") + std::to_string(mode) + "  " + AuthenticationModeName(mode);
        return text;
    }
    case 0x12: return quad + "Default:  1.2.3.4";
    case 0x13: return quad + "Default:  255.255.255.0";
    case 0x17: return "Default: 2000";
    default: return {};
    }
}

}  // namespace

const std::vector<std::string>& WifiModuleStates()
{
    static const std::vector<std::string> states{"OFF module", "ON module"};
    return states;
}

const std::vector<std::string>& FunctionBoxCaptions()
{
    static const std::vector<std::string> captions{"Enable AP Wi-Fi functionality", "Enable TCP socket",
                                                   "Enable station Wi-Fi functionality ", "Enable MQTT connection"};
    return captions;
}

std::string CommandTitle(const std::string& command)
{
    if (command == kWifiRegisterCommand)
        return "WiFi register";
    if (command == kWifiSettingCommand)
        return "WiFi setting";
    if (command == kCalibrationDateCommand)
        return "Update calibration date";
    return {};
}

PanelState SecondListPanel(const std::string& command, int entryIndex, const std::string& entryText)
{
    PanelState state;
    if (command == kWifiSettingCommand) {
        state.set = true;
    } else if (command == kWifiRegisterCommand) {
        if (entryIndex <= 0) {
            state.get = state.set = true;
            return state;
        }
        const int n = RegisterNumberOfEntry(entryText);
        state.valueBox = TypedValueRegister(n);
        state.get = ReadableRegister(n);
        state.set = WritableRegister(n);
        state.functions = n == wifireg::kFunctions;
        state.log = Hint(n);
    }
    return state;
}
