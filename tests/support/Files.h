#pragma once

// Whole files for tests: read as bytes, written in one go, and the file names of a folder. Paths are
// UTF-8, as in the tool.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Bytes.h"
#include "core/Files.h"

// The bytes of a file; empty when it cannot be read.
inline Bytes ReadFileBytes(const std::string& path)
{
    std::ifstream file(FsPath(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

inline std::string ReadFileText(const std::string& path)
{
    const Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Writes the whole file and gives its path back; a file that cannot be written ends the test.
inline std::string WriteFileBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream file(FsPath(path), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush())
        throw std::runtime_error("cannot write " + path);
    return path;
}

inline std::string WriteFileText(const std::string& path, const std::string& text)
{
    return WriteFileBytes(path, Bytes(text.begin(), text.end()));
}

// Names of the files (not folders) in a folder, sorted; hidden ones included.
inline std::vector<std::string> FileNamesIn(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(FsPath(folder), error))
        if (entry.is_regular_file())
            names.push_back(Utf8Path(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}
