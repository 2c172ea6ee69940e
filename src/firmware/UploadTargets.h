#pragma once

#include <string>

#include "link/InstrumentModels.h"

// The pattern of the target's file filter (what follows its "|"), e.g. "*31400_*.bin".
std::string FilePattern(const FirmwareTarget& target);
// True when the target's file dialog would offer the file `fileName` (a name without folder):
// it matches the filter's pattern, "*" standing for any characters, letter case ignored.
bool FileFitsTarget(const FirmwareTarget& target, const std::string& fileName);
