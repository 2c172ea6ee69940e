#include "memory/ImageFileWriter.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

ImageFileWriter::~ImageFileWriter()
{
    Close();
}

bool ImageFileWriter::Create(const std::string& path)
{
    Close();
    path_ = path;
    size_ = 0;
    file_ = OpenStdioFile(path, "wb");
    if (!file_) {
        error_ = LastSystemError();
        return false;
    }
    // Unbuffered: what a failed append leaves is on the disk, where CutBack removes it.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    return true;
}

bool ImageFileWriter::Append(const std::uint8_t* data, std::size_t size)
{
    if (!file_)
        return false;
    errno = 0;
    if (std::fwrite(data, 1, size, file_) == size && std::fflush(file_) == 0) {
        size_ += size;
        return true;
    }
    error_ = LastSystemError();
    if (error_.number == 0)
        error_ = {EIO, std::strerror(EIO)};
    CutBack();
    return false;
}

void ImageFileWriter::CutBack()
{
    std::fclose(file_);
    file_ = nullptr;
    std::error_code ignored;
    std::filesystem::resize_file(FsPath(path_), size_, ignored);
}

bool ImageFileWriter::Close()
{
    if (!file_)
        return true;
    const bool ok = std::fclose(file_) == 0;
    if (!ok)
        error_ = LastSystemError();
    file_ = nullptr;
    return ok;
}
