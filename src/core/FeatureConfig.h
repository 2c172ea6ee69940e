#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/Platform.h"

// Feature configuration file: each line that is exactly one keyword switches a feature on; the
// order of the lines is kept (it orders the service list).
constexpr const char* kConfigFileName = "Config314x0.cfg";
// System-wide folder of the configuration file on Linux.
constexpr const char* kSystemConfigFolder = "/etc/servicetool";

enum class Feature {
    FlashOpen,   // "31400-flashopen": every Down mem option, the page range, memory upload
    ParamEdit,   // "31400-paramedit": the Param tab
    EeWipeFull,  // "31400-EeWipeFull": EEPROM clear-all
    WlanOps,     // "31400-WlanOps": the Service tab with the Wi-Fi commands
    CalStmp,     // "314x0-CalStmp": the Service tab with the calibration date
};

// Folders that may hold the configuration file, in the order they are searched: the program's own
// folder (a portable copy keeps its file beside it), the per-user configuration folder, and on
// Linux the system-wide one. Empty folders are left out.
std::vector<std::string> ConfigFolders(const std::string& appFolder, const std::string& userFolder,
                                       OsFamily os = kThisOs);
// The configuration file of the first folder that holds one; nothing when none does.
std::optional<std::string> FindConfigFile(const std::vector<std::string>& folders);

// The feature of a line compared whole: case-sensitive, nothing trimmed.
std::optional<Feature> FeatureOfLine(const std::string& line);
// The line that switches `feature` on ("31400-paramedit").
std::string KeywordOf(Feature feature);

// The file's lines without their line ends; none when the file is missing or unreadable.
// A line ends at LF, and a CR just before that LF belongs to the line end (files written on
// Windows end their lines with CR LF). Nothing else is removed: a blank or any other character
// before or after a keyword, a lone CR included, leaves that line ineffective.
std::vector<std::string> ReadConfigLines(const std::string& path);
// The same rule on the file's content.
std::vector<std::string> ConfigLinesOfText(const std::string& text);

// Features of the file's lines, in file order (a repeated line repeats its feature).
std::vector<Feature> ReadFeatures(const std::string& path);
