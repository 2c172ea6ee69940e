#pragma once

#include <cstdio>
#include <string>

#include "core/Bytes.h"

// Writes an image file as it arrives; every append reaches the disk before the next page is read,
// so the file always holds whole pages.
class ImageFileWriter {
public:
    ImageFileWriter() = default;
    ~ImageFileWriter();
    ImageFileWriter(const ImageFileWriter&) = delete;
    ImageFileWriter& operator=(const ImageFileWriter&) = delete;

    // Creates (or empties) the file; false with errno set on failure.
    bool Create(const std::string& path);
    bool Append(const std::uint8_t* data, std::size_t size);
    bool Close();
    const std::string& Path() const { return path_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;
};

// errno and its text, for the unexpected-failure message.
struct SystemError {
    int number;
    std::string description;
};
SystemError LastSystemError();
