#pragma once

#include "core/Dialogs.h"
#include "link/Identification.h"
#include "link/SerialLink.h"
#include "params/ParamCatalogue.h"
#include "service/ServiceView.h"

// Parameters that hold the calibration date.
constexpr int kCalibDayParam = 5;
constexpr int kCalibMonthParam = 6;
constexpr int kCalibYearParam = 7;
// Pause between the last write and the commit.
constexpr double kCalibCommitPauseS = 0.5;

// Models that keep a calibration date.
bool IsCalibDateDevice(const InstrumentInfo& info);

// Set: checks the three boxes (rewritten with two digits), then writes year, month and day and
// commits them; the outcome in a message box and the log. Returns the code of the first failure.
int SetCalibrationDate(SerialLink& link, Dialogs& dialogs, const ParamCatalogue& catalogue, const InstrumentInfo& info,
                       ServiceView& view);
// Get: reads day, month and year into the boxes, stopping silently at the first failure.
int GetCalibrationDate(SerialLink& link, const ParamCatalogue& catalogue, const InstrumentInfo& info, ServiceView& view);

// "Device: <Name>", a blank line, "WRONG DEVICE...".
std::string WrongDeviceText(const InstrumentInfo& info);
