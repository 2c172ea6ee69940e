#include "core/Paths.h"

static std::size_t LastSeparator(const std::string& path)
{
    return path.find_last_of("\\/");
}

std::string FileNameOfPath(const std::string& path)
{
    const auto at = LastSeparator(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string FolderOfPath(const std::string& path)
{
    const auto at = LastSeparator(path);
    return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    const char last = folder.back();
    return (last == '/' || last == '\\') ? folder + name : folder + "/" + name;
}
