#include "firmware/PageImage.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/Files.h"

ImageCheck CheckImageFile(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path file = FsPath(path);
    if (path.empty() || !std::filesystem::exists(file, error))
        return {ImageLoad::Missing, 0};
    if (!std::filesystem::is_regular_file(file, error))
        return {ImageLoad::Unreadable, 0};
    const std::uintmax_t bytes = std::filesystem::file_size(file, error);
    if (error)
        return {ImageLoad::Unreadable, 0};
    if (bytes > kMaxImageBytes)
        return {ImageLoad::TooLarge, bytes};
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return {ImageLoad::Unreadable, bytes};
    return {ImageLoad::Loaded, bytes};
}

std::string ImageProblemText(const std::string& path, const ImageCheck& check)
{
    switch (check.result) {
    case ImageLoad::Missing:
        return " Image file not found: " + path;
    case ImageLoad::Unreadable:
        return " Image file not readable: " + path;
    case ImageLoad::TooLarge:
        return " Image file too large: " + path + " (" + std::to_string(check.bytes) + " bytes, at most " +
               std::to_string(kMaxImageBytes) + ")";
    case ImageLoad::Loaded:
        break;
    }
    return {};
}

PageImage::PageImage() : rows_(static_cast<std::size_t>(kPageCapacity) * kPageRowSize, 0) {}

const std::uint8_t* PageImage::Row(int page) const
{
    return rows_.data() + static_cast<std::size_t>(std::clamp(page, 0, kPageLastIndex)) * kPageRowSize;
}

std::uint8_t* PageImage::MutableRow(int page)
{
    return rows_.data() + static_cast<std::size_t>(page) * kPageRowSize;
}

ImageLoad PageImage::fillArray(const std::string& path)
{
    const ImageCheck check = CheckImageFile(path);
    if (check.result != ImageLoad::Loaded)
        return check.result;
    std::ifstream stream(FsPath(path), std::ios::binary);
    if (!stream)
        return ImageLoad::Unreadable;

    // Read whole, with one byte to spare: a file that grew past the table since the check is
    // refused without a byte written past the last page.
    std::vector<std::uint8_t> data(static_cast<std::size_t>(kMaxImageBytes) + 1);
    stream.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (stream.bad())
        return ImageLoad::Unreadable;
    const auto length = static_cast<std::size_t>(stream.gcount());
    if (length > kMaxImageBytes)
        return ImageLoad::TooLarge;

    int page = 0;
    for (std::size_t start = 0; start < length; start += kPageDataSize, ++page) {
        std::uint8_t* row = MutableRow(page);
        const std::size_t n = std::min<std::size_t>(kPageDataSize, length - start);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(start), n, row);
        std::fill(row + n, row + kPageDataSize, 0x00);
        std::uint8_t x = 0;
        for (int i = 0; i < kPageDataSize; ++i)
            x ^= row[i];
        row[kPageDataSize] = static_cast<std::uint8_t>(~x & 0xFF);
    }
    pageCount_ = page;
    return ImageLoad::Loaded;
}
