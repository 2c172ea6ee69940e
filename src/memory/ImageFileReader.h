#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/Bytes.h"

// Reads an image file back: its length, and exactly the bytes asked for or nothing.
class ImageFileReader {
public:
    ImageFileReader() = default;
    ~ImageFileReader();
    ImageFileReader(const ImageFileReader&) = delete;
    ImageFileReader& operator=(const ImageFileReader&) = delete;

    // False with errno set when the file cannot be opened or measured.
    bool Open(const std::string& path);
    std::int64_t Size() const { return size_; }
    // `count` bytes from `offset`; false (errno set, EIO when the file was shorter) unless all came.
    bool Read(std::int64_t offset, std::size_t count, Bytes& data);
    void Close();

private:
    std::FILE* file_ = nullptr;
    std::int64_t size_ = 0;
};
