#pragma once

#include <optional>
#include <string>

// The one target programmed from a two-board package.
constexpr const char* kPackageTargetName = "QSVERIFs-MIN";

enum class UploadFlow { SingleBoard, TwoBoardPackage };

// What choosing a firmware target sets up: the file dialog's filter ("Description|pattern"),
// the operator's instructions (CR LF between lines) and the programming flow.
struct UploadTarget {
    std::string filter;
    std::string instructions;
    UploadFlow flow;
};

// Nothing for a name outside the target list.
std::optional<UploadTarget> UploadTargetFor(const std::string& name);

// The pattern of the target's file filter (what follows its "|"), e.g. "*31400_*.bin".
std::string FilePattern(const UploadTarget& target);
// True when the target's file dialog would offer the file `fileName` (a name without folder):
// it matches the filter's pattern, "*" standing for any characters, letter case ignored.
bool FileFitsTarget(const UploadTarget& target, const std::string& fileName);
