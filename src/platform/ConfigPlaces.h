#pragma once

#include <string>
#include <vector>

// The folders the feature configuration file is searched in, in order, for both programs: the
// program's own folder, the user's configuration folder, on Linux the system-wide one.
std::vector<std::string> ConfigSearchFolders(const std::string& appFolder);
