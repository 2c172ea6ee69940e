#include "firmware/UploadTargets.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "core/Bytes.h"

namespace {

// "*" stands for any run of characters, every other character for itself. On a mismatch the last
// "*" seen takes one character more.
bool MatchesPattern(const std::string& pattern, const std::string& text)
{
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star = std::string::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            starText = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

}  // namespace

std::string FilePattern(const FirmwareTarget& target)
{
    return target.filter.substr(target.filter.find('|') + 1);
}

bool FileFitsTarget(const FirmwareTarget& target, const std::string& fileName)
{
    return MatchesPattern(ToUpperAscii(FilePattern(target)), ToUpperAscii(fileName));
}
