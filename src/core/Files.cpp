#include "core/Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::filesystem::path PathOf(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

bool ReplaceFile(const std::string& from, const std::string& to, std::string& why)
{
#ifdef _WIN32
    if (MoveFileExW(PathOf(from).c_str(), PathOf(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    why = std::system_category().message(static_cast<int>(GetLastError()));
    return false;
#else
    if (std::rename(from.c_str(), to.c_str()) == 0)
        return true;
    why = std::strerror(errno);
    return false;
#endif
}

bool WriteWholeFile(const std::string& path, const std::string& content, std::string& why)
{
    const std::string part = path + ".part";
    {
        std::ofstream out(PathOf(part), std::ios::binary | std::ios::trunc);
        if (out)
            out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (out)
            out.flush();
        if (!out) {
            why = std::strerror(errno);
            out.close();
            std::error_code ignored;
            std::filesystem::remove(PathOf(part), ignored);
            return false;
        }
    }
    if (ReplaceFile(part, path, why))
        return true;
    std::error_code ignored;
    std::filesystem::remove(PathOf(part), ignored);
    return false;
}
