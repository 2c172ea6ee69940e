#pragma once

#include <string>

// Both "\" and "/" separate path parts.
std::string FileNameOfPath(const std::string& path);
std::string FolderOfPath(const std::string& path);
// Folder + separator + name, with "/" between.
std::string JoinPath(const std::string& folder, const std::string& name);
