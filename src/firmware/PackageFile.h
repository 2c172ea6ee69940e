#pragma once

#include <string>

// A two-board package: its first two lines name the CPU-board image (the line containing "_CPU")
// and the MIS-board image (the line containing "_MIS"), relative to the package's folder.
struct PackageImages {
    std::string cpuFile;
    std::string misFile;
    std::string problem;  // why the package cannot be used; empty when it can

    bool ok() const { return problem.empty(); }
};

// `folder` ends with its separator.
PackageImages ReadPackageFile(const std::string& packagePath, const std::string& folder);
