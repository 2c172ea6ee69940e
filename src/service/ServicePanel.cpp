#include "service/ServicePanel.h"

#include "core/Bytes.h"
#include "service/WifiDecode.h"
#include "service/WifiRegisters.h"

namespace {

// The functions come from their boxes and a reboot carries no value: neither has a value box.
bool TakesTypedValue(const WifiRegister& reg)
{
    return reg.Writable() && reg.kind != WifiKind::Reboot && reg.kind != WifiKind::Functions;
}

std::string Hint(const WifiRegister& reg)
{
    if (reg.kind == WifiKind::ApMode) {
        std::string text;
        for (int mode = 0; mode <= 5; ++mode)
            text += (mode ? kCrLf : "") + std::to_string(mode) + "  " + AuthenticationModeName(mode);
        return text;
    }
    if (!reg.shownDefault)
        return {};
    if (reg.kind == WifiKind::Address)
        return std::string("4 numeri 0-255 separati da <.>") + kCrLf + kCrLf + "Default:  " + reg.shownDefault;
    return std::string("Default: ") + reg.shownDefault;
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

PanelState SecondListPanel(const std::string& command, int entryIndex)
{
    PanelState state;
    if (command == kWifiSettingCommand) {
        state.set = true;
    } else if (command == kWifiRegisterCommand) {
        const WifiRegister* reg = RegisterOfEntry(entryIndex);
        if (!reg) {
            state.get = state.set = true;
            return state;
        }
        state.valueBox = TakesTypedValue(*reg);
        state.get = reg->Readable();
        state.set = reg->Writable();
        state.functions = reg->kind == WifiKind::Functions;
        state.log = Hint(*reg);
    }
    return state;
}
