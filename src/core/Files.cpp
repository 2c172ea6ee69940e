#include "core/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "core/Bytes.h"
#include "core/Paths.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

SystemError LastSystemError()
{
    const int number = errno;
    return {number, std::strerror(number)};
}

std::filesystem::path FsPath(const std::string& utf8)
{
#ifdef _WIN32
    // Windows names files in UTF-16 and refuses to convert what is not UTF-8.
    const std::string text = Utf8OrLatin1(utf8);
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
#else
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#endif
}

std::string Utf8Path(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::FILE* OpenStdioFile(const std::string& path, const char* mode)
{
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::strlen(mode));  // "rb", "wb": ASCII
    return _wfopen(FsPath(path).c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

bool RemoveFile(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path file = FsPath(path);
    return !std::filesystem::is_directory(file, error) && std::filesystem::remove(file, error);
}

namespace {

// The parts of a relative path; empty ones and "." left out.
std::vector<std::string> PathParts(const std::string& relative)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t end = std::min(relative.find_first_of("/\\", start), relative.size());
        const std::string part = relative.substr(start, end - start);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

// `part` inside `folder`: the entry of exactly that name, else those of that name case aside.
std::vector<std::string> EntriesNamed(const std::string& folder, const std::string& part)
{
    const std::string exact = JoinPath(folder, part);
    std::error_code error;
    if (std::filesystem::exists(FsPath(exact), error))
        return {exact};
    std::vector<std::string> found;
    const std::string folded = ToUpperLatin1(part);
    for (std::filesystem::directory_iterator it(FsPath(folder.empty() ? "." : folder), error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string name = Utf8Path(it->path().filename());
        if (ToUpperLatin1(name) == folded)
            found.push_back(JoinPath(folder, name));
    }
    return found;
}

}  // namespace

std::vector<std::string> FilesNamedCaseAside(const std::string& folder, const std::string& relative)
{
    const std::vector<std::string> parts = PathParts(relative);
    if (parts.empty())
        return {};
    std::vector<std::string> reached{folder};
    for (const std::string& part : parts) {
        std::vector<std::string> next;
        for (const std::string& base : reached)
            for (std::string& entry : EntriesNamed(base, part))
                next.push_back(std::move(entry));
        reached = std::move(next);
    }
    std::sort(reached.begin(), reached.end());
    return reached;
}

bool PutFileInPlace(const std::string& from, const std::string& to, SystemError& error)
{
#ifdef _WIN32
    if (MoveFileExW(FsPath(from).c_str(), FsPath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD code = GetLastError();
    error = {static_cast<int>(code), std::system_category().message(static_cast<int>(code))};
    return false;
#else
    if (std::rename(from.c_str(), to.c_str()) == 0)
        return true;
    error = LastSystemError();
    return false;
#endif
}

bool WriteWholeFile(const std::string& path, const std::string& content, std::string& why)
{
    const std::string part = path + ".part";
    {
        std::ofstream out(FsPath(part), std::ios::binary | std::ios::trunc);
        if (out)
            out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (out)
            out.flush();
        if (!out) {
            why = std::strerror(errno);
            out.close();
            RemoveFile(part);
            return false;
        }
    }
    SystemError error;
    if (PutFileInPlace(part, path, error))
        return true;
    why = error.description;
    RemoveFile(part);
    return false;
}
