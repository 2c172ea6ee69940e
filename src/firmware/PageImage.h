#pragma once

#include <cstdint>
#include <string>
#include <vector>


constexpr int kPageLastIndex = 8000;
constexpr int kPageCapacity = kPageLastIndex + 1;
constexpr int kPageDataSize = 256;
constexpr int kPageRowSize = kPageDataSize + 1;  // data and the Write Memory check byte
constexpr std::uintmax_t kMaxImageBytes = static_cast<std::uintmax_t>(kPageCapacity) * kPageDataSize;

enum class ImageLoad { Loaded, Missing, Unreadable, TooLarge };

// What a firmware image file is before anything is loaded: its size, or why it cannot be used.
struct ImageCheck {
    ImageLoad result = ImageLoad::Missing;
    std::uintmax_t bytes = 0;
};
ImageCheck CheckImageFile(const std::string& path);
// A line for the log naming the file and why it cannot be loaded ("" when it can).
std::string ImageProblemText(const std::string& path, const ImageCheck& check);

// The firmware image as 256-byte pages, each followed by its check byte (0xFF XOR the XOR of its
// data). The table is allocated once for the largest image and reused; rows past the loaded page
// count keep what they held.
class PageImage {
public:
    PageImage();

    // fillArray: loads the file and sets the page count. Nothing changes unless it is Loaded.
    ImageLoad fillArray(const std::string& path);
    // Pages of the image loaded last.
    int PageCount() const { return pageCount_; }

    // Row `page` (0..8000): 256 data bytes and the check byte.
    const std::uint8_t* Row(int page) const;

private:
    std::uint8_t* MutableRow(int page);

    std::vector<std::uint8_t> rows_;
    int pageCount_ = 0;
};
