#include "link/InstrumentModels.h"

#include <algorithm>

#include "core/Bytes.h"

namespace {

template <typename Row>
const Row* FindByName(const std::vector<Row>& rows, const std::string& name)
{
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const Row& row) { return row.name == name; });
    return found == rows.end() ? nullptr : &*found;
}

const std::string kFilter31400 = "File bin (31400_*.bin)|*31400_*.bin";
const std::string kFilter31420 = "File bin (31420_*.bin)|*31420_*.bin";
const std::string kFilter27510 = "File bin (27510_*.bin)|*.bin";
const std::string kFilter27520 = "File bin (27520_*.pkg)|*.pkg";

const std::string kStepsK4410 = std::string("1. Connect K4410 cable to the device") + kCrLf +
                                "2. Switch ON the device with Menu+GO" + kCrLf + "    buttons pressed";
const std::string kStepsUsb = std::string("1. Connect Usb cable to the device") + kCrLf +
                              "2. Switch ON the device with xxx  " + kCrLf + "    buttons pressed";
const std::string kStepsPackage = kStepsK4410 + kCrLf + "3.  Select directory:  27520_Pack_V1-xx ";

}  // namespace

const std::vector<ParamFamily>& ParamFamilies()
{
    static const std::vector<ParamFamily> families{{"31400 QMX, VERTA", "31400", 204},
                                                   {"31420 QS-LUMPROB", "31420", 155}};
    return families;
}

const ParamFamily* ParamFamilyByCode(const std::string& code)
{
    const auto& families = ParamFamilies();
    const auto found = std::find_if(families.begin(), families.end(), [&](const ParamFamily& f) { return f.code == code; });
    return found == families.end() ? nullptr : &*found;
}

const std::vector<DeviceModel>& DeviceModels()
{
    //                                    family   count par.  offset  cal. date  Wi-Fi
    static const std::vector<DeviceModel> models{
        {"QSLUM",    "31420", 26,           154,          true,  false},
        {"QS408t",   "31420", 26,           154,          true,  false},
        {"QMX-ARN",  "31400", 146,          272,          true,  false},
        {"QMX-ARN+", "31400", 146,          272,          true,  false},
        {"BRSKCHK",  "31400", 146,          272,          true,  false},
        {"VRTA708",  "31400", 146,          272,          true,  false},
        {"VRTA709",  "31400", 146,          272,          true,  false},
        {"VRTA710",  "31400", 146,          272,          true,  true},
        {"VRTA611",  "31400", 146,          272,          true,  false},
        {"ULTVRTS",  "31400", 146,          272,          true,  false},
        {"GRP4917",  "31400", 146,          272,          true,  true},
        {"ZJ553903", "31400", std::nullopt, std::nullopt, false, true},
        {"QSVRFMAX", "31420", 26,           std::nullopt, false, false},
    };
    return models;
}

const DeviceModel* FindDeviceModel(const std::string& name)
{
    return FindByName(DeviceModels(), name);
}

const std::vector<FirmwareTarget>& FirmwareTargetModels()
{
    static const std::vector<FirmwareTarget> targets{
        {"QSLUM", kFilter31420, kStepsK4410, FirmwareFlow::SingleBoard},
        {"QS408t", kFilter31420, kStepsK4410, FirmwareFlow::SingleBoard},
        {"QMX-ARN", kFilter31400, kStepsK4410, FirmwareFlow::SingleBoard},
        {"VERTAPROB611", kFilter31400, kStepsK4410, FirmwareFlow::SingleBoard},
        {"BRISKCHK", kFilter31400, kStepsK4410, FirmwareFlow::SingleBoard},
        {"VERTA708", kFilter31400, kStepsK4410, FirmwareFlow::SingleBoard},
        {"VERTA710", kFilter31400, kStepsK4410, FirmwareFlow::SingleBoard},
        {"ULTRAVERTAs", kFilter31400, kStepsK4410, FirmwareFlow::SingleBoard},
        {"QMX-ARN+", kFilter31400, kStepsK4410, FirmwareFlow::SingleBoard},
        {"ZJ55391", kFilter31400, kStepsK4410, FirmwareFlow::SingleBoard},
        {"ZJ55392", kFilter31400, kStepsK4410, FirmwareFlow::SingleBoard},
        {"ZJ55393", kFilter31400, kStepsK4410, FirmwareFlow::SingleBoard},
        {"QSVERIFs-MAX", kFilter27510, kStepsUsb, FirmwareFlow::SingleBoard},
        {kPackageTargetName, kFilter27520, kStepsPackage, FirmwareFlow::TwoBoardPackage},
    };
    return targets;
}

const FirmwareTarget* FindFirmwareTarget(const std::string& name)
{
    return FindByName(FirmwareTargetModels(), name);
}
