#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "core/FeatureConfig.h"

// servicetool-cli offers what the window offers: a command whose controls the configuration file
// leaves hidden in the window is refused.

// The features a command needs: param the Param tab ("31400-paramedit"); backup with a choice of
// memories or pages, and restore, the Down mem options ("31400-flashopen"); restore --clear-all that
// and "31400-EeWipeFull"; caldate "314x0-CalStmp"; wifi "31400-WlanOps". info, flash and a plain
// backup (EEPROM and every flash page, as the window without its options) need none.
std::vector<Feature> FeaturesNeeded(const CliOptions& options);

// Why the command may not run with these features switched on, naming the lines to add; nothing
// when it may.
std::optional<std::string> GateRefusal(const CliOptions& options, const std::vector<Feature>& switchedOn);
