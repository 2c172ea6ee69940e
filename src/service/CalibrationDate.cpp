#include "service/CalibrationDate.h"

#include <algorithm>

#include "link/InstrumentModels.h"
#include "params/ParamCommands.h"
#include "params/ParamOperations.h"
#include "service/ServiceRun.h"

namespace {

using Run = ServiceRun<CalibrationDateResult>;

struct DateBox {
    std::string DateTexts::*text;
    int param;
    int low;
    int high;
    const char* wrong;
};

// In the order the boxes are checked.
constexpr DateBox kDay{&DateTexts::day, kCalibDayParam, 1, 31, "Wrong  DAY  value ...  [1-31]"};
constexpr DateBox kMonth{&DateTexts::month, kCalibMonthParam, 1, 12, "Wrong  MOUTH  value ...  [1-12]"};
constexpr DateBox kYear{&DateTexts::year, kCalibYearParam, 13, 50, "Wrong  YEAR  value ...  [13-50]"};

// The number at the start of the box (0 when there is none), half to even.
long long BoxNumber(const DateTexts& boxes, const DateBox& box)
{
    return std::clamp<long long>(RoundHalfEven(LeadingNumber(boxes.*box.text)), -999999999, 999999999);
}

// Reads the box, rewrites it with at least two digits; false when out of its range.
bool CheckBox(DateTexts& boxes, const DateBox& box, std::string& errors)
{
    const long long value = BoxNumber(boxes, box);
    boxes.*box.text = ZeroPadded(value, 2);
    if (value >= box.low && value <= box.high)
        return true;
    errors += std::string(box.wrong) + kCrLf;
    return false;
}

// Every box checked, so that every wrong one is said at once; the errors in the log.
bool CheckBoxes(Run& run, DateTexts& boxes)
{
    std::string errors;
    bool valid = CheckBox(boxes, kDay, errors);
    valid = CheckBox(boxes, kMonth, errors) && valid;
    valid = CheckBox(boxes, kYear, errors) && valid;
    if (!valid)
        run.Show(errors);
    return valid;
}

bool CheckModel(Run& run)
{
    if (IsCalibDateDevice(run.result.instrument))
        return true;
    run.Show(WrongDeviceText(run.result.instrument));
    return false;
}

// Year, month and day are all written whatever the one before gave; then the commit. The code of
// the first failure.
int WriteAndCommit(SerialLink& link, const ParamCatalogue& catalogue, const DateTexts& boxes)
{
    int failed = code::kOk;
    for (const DateBox& box : {kYear, kMonth, kDay}) {
        double written = 0.0;
        const int code = WriteParam(link, catalogue, box.param, static_cast<double>(BoxNumber(boxes, box)), written);
        if (failed == code::kOk)
            failed = code;
    }
    if (failed == code::kOk) {
        link.Delay(kCalibCommitPauseS);
        std::string message;
        failed = CommitParams(link, message);
    }
    return failed;
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

CalibrationDateResult SetCalibrationDate(OperationContext& context, const CalibrationDateRequest& request)
{
    Run run(context);
    if (!run.Identify())
        return run.result;
    DateTexts& boxes = run.result.date.emplace(request.date);
    if (!CheckBoxes(run, boxes) || !CheckModel(run))
        return run.End(code::kRefused);

    const int failed = WriteAndCommit(context.link, request.catalogue, boxes);
    if (run.Stopping()) {
        run.result.interruption.kind = Interruption::Kind::Stopped;
        return run.End(failed);
    }
    if (failed != code::kOk) {
        context.sink.Notify({MsgIcon::Information, "SERIAL ERROR", "Updating parameter FAILS"});
        return run.End(failed);
    }
    context.sink.Notify({MsgIcon::Information, "DATE UPDATED", "Calibration DATE  updated !!!"});
    run.Show("Calibration DATE  updated");
    return run.End(code::kOk);
}

CalibrationDateResult GetCalibrationDate(OperationContext& context, const CalibrationDateRequest& request)
{
    Run run(context);
    if (!run.Identify())
        return run.result;
    if (!CheckModel(run))
        return run.End(code::kRefused);
    DateTexts& boxes = run.result.date.emplace();
    for (const DateBox& box : {kDay, kMonth, kYear}) {
        double value = 0.0;
        const int code = ReadParam(context.link, request.catalogue, box.param, value);
        if (code != code::kOk)
            return run.End(code);
        boxes.*box.text = ParamNumberText(value);
    }
    return run.End(code::kOk);
}
