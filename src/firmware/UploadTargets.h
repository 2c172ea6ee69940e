#pragma once

#include <optional>
#include <string>

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
