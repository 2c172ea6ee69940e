#include "memory/ImageFileReader.h"

#include <cerrno>
#include <climits>
#include <filesystem>
#include <system_error>

#include "core/Files.h"

namespace fs = std::filesystem;

ImageFileReader::~ImageFileReader()
{
    Close();
}

bool ImageFileReader::Open(const std::string& path)
{
    Close();
    errno = 0;
    file_ = OpenStdioFile(path, "rb");
    if (!file_)
        return false;
    std::error_code error;
    const fs::path fsPath = FsPath(path);
    const bool regular = fs::is_regular_file(fsPath, error);
    const std::uintmax_t size = regular ? fs::file_size(fsPath, error) : 0;
    if (error || !regular) {
        Close();
        errno = error ? error.value() : EISDIR;
        return false;
    }
    size_ = static_cast<std::int64_t>(size);
    return true;
}

bool ImageFileReader::Read(std::int64_t offset, std::size_t count, Bytes& data)
{
    data.assign(count, 0);
    errno = 0;
    if (!file_ || offset < 0 || offset > LONG_MAX || std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) {
        if (errno == 0)
            errno = EINVAL;
        data.clear();
        return false;
    }
    if (std::fread(data.data(), 1, count, file_) != count) {
        if (errno == 0)
            errno = EIO;  // the file is shorter than it was
        data.clear();
        return false;
    }
    return true;
}

void ImageFileReader::Close()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    size_ = 0;
}
