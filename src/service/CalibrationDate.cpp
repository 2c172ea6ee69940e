#include "service/CalibrationDate.h"

#include "link/InstrumentModels.h"

#include <algorithm>
#include <vector>

#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "params/ParamCommands.h"
#include "params/ParamOperations.h"

namespace {

using Field = ServiceView::DateField;

struct DateBox {
    Field field;
    int param;
    int low;
    int high;
    const char* wrong;
};

// In the order the boxes are checked.
constexpr DateBox kDay{Field::Day, kCalibDayParam, 1, 31, "Wrong  DAY  value ...  [1-31]"};
constexpr DateBox kMonth{Field::Month, kCalibMonthParam, 1, 12, "Wrong  MOUTH  value ...  [1-12]"};
constexpr DateBox kYear{Field::Year, kCalibYearParam, 13, 50, "Wrong  YEAR  value ...  [13-50]"};

// The number at the start of the box (0 when there is none), half to even.
long long BoxNumber(const ServiceView& view, Field field)
{
    return std::clamp<long long>(RoundHalfEven(LeadingNumber(view.DateText(field))), -999999999, 999999999);
}

// Reads the box, rewrites it with at least two digits; false when out of its range.
bool CheckBox(ServiceView& view, const DateBox& box, std::string& errors)
{
    const long long value = BoxNumber(view, box.field);
    view.SetDateText(box.field, ZeroPadded(value, 2));
    if (value >= box.low && value <= box.high)
        return true;
    errors += std::string(box.wrong) + kCrLf;
    return false;
}

}  // namespace

bool IsCalibDateDevice(const InstrumentInfo& info)
{
    const DeviceModel* model = FindDeviceModel(info.Name);
    return model && model->calibrationDate;
}

std::string WrongDeviceText(const InstrumentInfo& info)
{
    return "Device: " + info.Name + kCrLf + kCrLf + "WRONG DEVICE...";
}

int SetCalibrationDate(SerialLink& link, Dialogs& dialogs, const ParamCatalogue& catalogue, const InstrumentInfo& info,
                       ServiceView& view)
{
    std::string errors;
    bool valid = CheckBox(view, kDay, errors);
    valid = CheckBox(view, kMonth, errors) && valid;
    valid = CheckBox(view, kYear, errors) && valid;
    if (!valid) {
        view.SetLog(errors);
        return code::kRefused;
    }
    if (!IsCalibDateDevice(info)) {
        view.SetLog(WrongDeviceText(info));
        return code::kRefused;
    }

    int failed = code::kOk;
    for (const DateBox& box : {kYear, kMonth, kDay}) {
        double written = 0.0;
        const int code = WriteParam(link, catalogue, box.param, static_cast<double>(BoxNumber(view, box.field)), written);
        if (failed == code::kOk)
            failed = code;
    }
    if (failed == code::kOk) {
        link.Delay(kCalibCommitPauseS);
        std::string message;
        failed = CommitParams(link, message);
    }
    if (link.host().Quitting())
        return failed;
    if (failed == code::kOk) {
        dialogs.Message(MsgIcon::Information, "DATE UPDATED", "Calibration DATE  updated !!!");
        view.SetLog("Calibration DATE  updated");
    } else {
        dialogs.Message(MsgIcon::Information, "SERIAL ERROR", "Updating parameter FAILS");
    }
    return failed;
}

int GetCalibrationDate(SerialLink& link, const ParamCatalogue& catalogue, const InstrumentInfo& info, ServiceView& view)
{
    if (!IsCalibDateDevice(info)) {
        view.SetLog(WrongDeviceText(info));
        return code::kRefused;
    }
    for (const DateBox& box : {kDay, kMonth, kYear})
        view.SetDateText(box.field, "");
    for (const DateBox& box : {kDay, kMonth, kYear}) {
        double value = 0.0;
        const int code = ReadParam(link, catalogue, box.param, value);
        if (code != code::kOk)
            return code;
        view.SetDateText(box.field, ParamNumberText(value));
    }
    return code::kOk;
}
