#pragma once

#include <optional>
#include <string>
#include <vector>

// Everything the tool knows about the instrument models, in one place: the device names the
// instruments report with what each supports, the firmware targets of the Upload tab with their
// files, and the parameter families of the Param tab.

// Parameter families, in the order of the Param tab's list.
struct ParamFamily {
    std::string entry;  // text of the family list ("31400 QMX, VERTA")
    std::string code;   // "31400" or "31420"
    int lastIndex;      // parameters 0..lastIndex
};
const std::vector<ParamFamily>& ParamFamilies();
// The family whose code is `code` ("31400", "31420"); nothing for another text.
const ParamFamily* ParamFamilyByCode(const std::string& code);

// A device as the instrument names itself in its identification.
struct DeviceModel {
    std::string name;                      // exactly as reported ("VRTA708")
    std::string familyCode;                // its parameter family ("31400")
    std::optional<int> recordCountParam;   // parameter holding the stored-record count (26 or 146)
    std::optional<int> recordCountOffset;  // where the EEPROM image keeps that count (154 or 272)
    bool calibrationDate = false;          // keeps a calibration date (parameters 5, 6, 7)
    bool wifi = false;                     // has the Wi-Fi module
};
const std::vector<DeviceModel>& DeviceModels();
// Nothing for a name outside the table; names compare exactly, letter case included.
const DeviceModel* FindDeviceModel(const std::string& name);

// Firmware targets of the Upload tab, in list order: what choosing one sets up.
enum class FirmwareFlow { SingleBoard, TwoBoardPackage };
struct FirmwareTarget {
    std::string name;          // entry of the target list ("VERTA708")
    std::string filter;        // the file dialog's filter, "Description|pattern"
    std::string instructions;  // the operator's steps, CR LF between lines
    FirmwareFlow flow;
};
const std::vector<FirmwareTarget>& FirmwareTargetModels();
const FirmwareTarget* FindFirmwareTarget(const std::string& name);

// The one target programmed from a two-board package.
constexpr const char* kPackageTargetName = "QSVERIFs-MIN";
