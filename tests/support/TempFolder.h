#pragma once

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "core/Files.h"

// A folder of its own for one test, removed with everything in it at the end; the same on Linux
// and Windows.
class TempFolder {
public:
    TempFolder()
    {
        std::mt19937_64 random(static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = base / ("servicetool-test-" + std::to_string(random() % 1000000000));
            if (std::filesystem::create_directory(path_, error))
                return;
        }
        path_.clear();
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool ok() const { return !path_.empty(); }
    // The folder, or a path inside it, in UTF-8; "/" between parts on every system.
    std::string Path(const std::string& name = "") const
    {
        const std::u8string generic = path_.generic_u8string();
        const std::string folder(generic.begin(), generic.end());
        return name.empty() ? folder : folder + "/" + name;
    }

private:
    std::filesystem::path path_;
};
