#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/Bytes.h"
#include "core/Files.h"

// Writes an image file one whole unit (a page, an image) at a time. Every append reaches the disk
// before the next page is read, and an append that fails part-way (disk full, file size limit)
// cuts the file back to the units written before it, so the file always holds whole units.
class ImageFileWriter {
public:
    ImageFileWriter() = default;
    ~ImageFileWriter();
    ImageFileWriter(const ImageFileWriter&) = delete;
    ImageFileWriter& operator=(const ImageFileWriter&) = delete;

    // Creates (or empties) the file.
    bool Create(const std::string& path);
    // On failure the file is closed, cut back and Error() tells why.
    bool Append(const std::uint8_t* data, std::size_t size);
    bool Close();

    const std::string& Path() const { return path_; }
    // Bytes of the whole units in the file.
    std::uint64_t Size() const { return size_; }
    // Why the last Create, Append or Close failed.
    const SystemError& Error() const { return error_; }

private:
    void CutBack();

    std::FILE* file_ = nullptr;
    std::string path_;
    std::uint64_t size_ = 0;
    SystemError error_;
};
