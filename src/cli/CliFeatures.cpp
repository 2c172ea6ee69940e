#include "cli/CliFeatures.h"

#include <algorithm>

std::vector<Feature> FeaturesNeeded(const CliOptions& o)
{
    if (o.command == "param")
        return {Feature::ParamEdit};
    if (o.command == "backup" && (o.eeprom || o.flashRange || o.flashMisOnly))
        return {Feature::FlashOpen};
    if (o.command == "restore" && o.clearAll)
        return {Feature::FlashOpen, Feature::EeWipeFull};
    if (o.command == "restore")
        return {Feature::FlashOpen};
    if (o.command == "caldate")
        return {Feature::CalStmp};
    if (o.command == "wifi")
        return {Feature::WlanOps};
    return {};
}

std::optional<std::string> GateRefusal(const CliOptions& options, const std::vector<Feature>& switchedOn)
{
    std::string missing;
    for (const Feature feature : FeaturesNeeded(options)) {
        if (std::find(switchedOn.begin(), switchedOn.end(), feature) == switchedOn.end())
            missing += (missing.empty() ? "" : " and ") + KeywordOf(feature);
    }
    if (missing.empty())
        return std::nullopt;
    return "'" + options.command + "' is switched off, as in the window: the configuration file " +
           std::string(kConfigFileName) + " needs the line " + missing;
}
