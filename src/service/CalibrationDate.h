#pragma once

#include <optional>
#include <string>

#include "link/Identification.h"
#include "link/OperationContext.h"
#include "params/ParamCatalogue.h"
#include "service/ServiceOperations.h"

// Parameters that hold the calibration date.
constexpr int kCalibDayParam = 5;
constexpr int kCalibMonthParam = 6;
constexpr int kCalibYearParam = 7;
// Pause between the last write and the commit.
constexpr double kCalibCommitPauseS = 0.5;

// Models that keep a calibration date.
bool IsCalibDateDevice(const InstrumentInfo& info);

// The texts of the day, month and year boxes.
struct DateTexts {
    std::string day;
    std::string month;
    std::string year;

    bool operator==(const DateTexts&) const = default;
};

struct CalibrationDateRequest {
    const ParamCatalogue& catalogue;  // widths of the date's parameters
    DateTexts date;                   // Set: the boxes as typed
};
struct CalibrationDateResult : ServiceResult {
    std::optional<DateTexts> date;  // what the boxes show now; nothing: as they were
};

// Set: checks the three boxes (rewritten with two digits), then writes year, month and day and
// commits them; the outcome as a notice ("DATE UPDATED" or "SERIAL ERROR") and in the log. The
// code is that of the first failure.
CalibrationDateResult SetCalibrationDate(OperationContext& context, const CalibrationDateRequest& request);
// Get: reads day, month and year into the boxes, stopping silently at the first failure.
CalibrationDateResult GetCalibrationDate(OperationContext& context, const CalibrationDateRequest& request);

// "Device: <Name>", a blank line, "WRONG DEVICE...".
std::string WrongDeviceText(const InstrumentInfo& info);
