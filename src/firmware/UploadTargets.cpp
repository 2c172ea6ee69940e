#include "firmware/UploadTargets.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "core/Bytes.h"

namespace {

const std::string kFilterA = "File bin (31400_*.bin)|*31400_*.bin";
const std::string kFilterB = "File bin (31420_*.bin)|*31420_*.bin";
const std::string kFilterC = "File bin (27510_*.bin)|*.bin";
const std::string kFilterD = "File bin (27520_*.pkg)|*.pkg";

const std::string kTextK = std::string("1. Connect K4410 cable to the device") + kCrLf +
                           "2. Switch ON the device with Menu+GO" + kCrLf + "    buttons pressed";
const std::string kTextU = std::string("1. Connect Usb cable to the device") + kCrLf +
                           "2. Switch ON the device with xxx  " + kCrLf + "    buttons pressed";
const std::string kTextPackage = kTextK + kCrLf + "3.  Select directory:  27520_Pack_V1-xx ";

constexpr std::array<std::string_view, 10> kFilterATargets{
    "QMX-ARN", "VERTAPROB611", "BRISKCHK", "VERTA708", "VERTA710",
    "ULTRAVERTAs", "QMX-ARN+", "ZJ55391", "ZJ55392", "ZJ55393"};
constexpr std::array<std::string_view, 2> kFilterBTargets{"QSLUM", "QS408t"};

template <std::size_t N>
bool IsOneOf(const std::array<std::string_view, N>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

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

std::optional<UploadTarget> UploadTargetFor(const std::string& name)
{
    if (IsOneOf(kFilterATargets, name))
        return UploadTarget{kFilterA, kTextK, UploadFlow::SingleBoard};
    if (IsOneOf(kFilterBTargets, name))
        return UploadTarget{kFilterB, kTextK, UploadFlow::SingleBoard};
    if (name == "QSVERIFs-MAX")
        return UploadTarget{kFilterC, kTextU, UploadFlow::SingleBoard};
    if (name == kPackageTargetName)
        return UploadTarget{kFilterD, kTextPackage, UploadFlow::TwoBoardPackage};
    return std::nullopt;
}

std::string FilePattern(const UploadTarget& target)
{
    return target.filter.substr(target.filter.find('|') + 1);
}

bool FileFitsTarget(const UploadTarget& target, const std::string& fileName)
{
    return MatchesPattern(ToUpperAscii(FilePattern(target)), ToUpperAscii(fileName));
}
