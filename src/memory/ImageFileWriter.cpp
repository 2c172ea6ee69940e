#include "memory/ImageFileWriter.h"

#include <cerrno>
#include <cstring>

ImageFileWriter::~ImageFileWriter()
{
    Close();
}

bool ImageFileWriter::Create(const std::string& path)
{
    Close();
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    return file_ != nullptr;
}

bool ImageFileWriter::Append(const std::uint8_t* data, std::size_t size)
{
    if (!file_)
        return false;
    return std::fwrite(data, 1, size, file_) == size && std::fflush(file_) == 0;
}

bool ImageFileWriter::Close()
{
    if (!file_)
        return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
}

SystemError LastSystemError()
{
    const int number = errno;
    return {number, std::strerror(number)};
}
