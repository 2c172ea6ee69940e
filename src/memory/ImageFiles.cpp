#include "memory/ImageFiles.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/Files.h"
#include "core/Paths.h"
#include "link/InstrumentModels.h"

namespace fs = std::filesystem;

namespace {

// Byte offsets where the characters of a UTF-8 text start, followed by the text's size, so
// character i spans [starts[i], starts[i + 1]). A stray continuation byte joins the character
// before it.
std::vector<std::size_t> CharacterStarts(const std::string& text)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (i == 0 || (byte & 0xC0) != 0x80)
            starts.push_back(i);
    }
    starts.push_back(text.size());
    return starts;
}

std::string FirstCharacters(const std::string& text, std::size_t count)
{
    const auto starts = CharacterStarts(text);
    return count + 1 >= starts.size() ? text : text.substr(0, starts[count]);
}

// <prefix>*<suffix> on case-folded texts; the characters of both parts are literal.
bool MatchesPrefixAnySuffix(const std::string& folded, const std::string& prefix,
                            const std::string& suffix)
{
    return folded.size() >= prefix.size() + suffix.size()
        && folded.compare(0, prefix.size(), prefix) == 0
        && folded.compare(folded.size() - suffix.size(), suffix.size(), suffix) == 0;
}

fs::path FolderToList(std::string folder)
{
    if (folder.empty())
        return fs::path(".");
#ifdef _WIN32
    if (folder.back() == ':')
        folder += '\\';  // "C:" alone would be the drive's current folder
#endif
    return FsPath(folder);
}

// Names of the entries of a folder, in no particular order; empty when it cannot be listed.
std::vector<std::string> EntryNames(const std::string& folder, bool regularFilesOnly)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(FolderToList(folder), error);
         !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        if (regularFilesOnly && !it->is_regular_file(typeError))
            continue;
        names.push_back(Utf8Path(it->path().filename()));
    }
    return names;
}

int LeadingDigits(std::string_view text)
{
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string TwoDigits(int value)
{
    return ZeroPadded(value, 2);
}

}  // namespace

// The identification comes from the instrument: a character that cannot stand in a file name
// (a separator, a wildcard, a control byte) becomes "-".
static std::string SafeNamePart(std::string text)
{
    for (char& c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
            c = '-';
    }
    return text;
}

std::string ImageBaseName(const InstrumentInfo& info, const LocalDateTime& at)
{
    std::string base = SafeNamePart(info.Name) + "_" + SafeNamePart(info.SerialNumber) + "_fwV" +
        SafeNamePart(FirstCharacters(info.FwVersion, 4)) + "_"
        + TwoDigits((at.year % 100 + 100) % 100) + TwoDigits(at.month) + TwoDigits(at.day)
        + TwoDigits(at.hour) + TwoDigits(at.minute) + TwoDigits(at.second);
    // A name starting with "." would be hidden (an instrument named "../x").
    if (base.front() == '.')
        base.front() = '-';
    return base;
}

std::string EepromImageName(const std::string& baseName)
{
    return baseName + ".epr";
}

std::string FlashImageName(const std::string& baseName, int firstPage, int lastPage)
{
    return baseName + "_" + ZeroPadded(firstPage, 4) + "-" + ZeroPadded(lastPage, 4) + ".fla";
}

std::optional<FlashImagePages> ParseFlashImageName(const std::string& fileName)
{
    const std::string name = FileNameOfPath(fileName);
    const auto starts = CharacterStarts(name);
    const std::size_t length = starts.size() - 1;
    if (length <= 16)
        return std::nullopt;

    // Positions are 1-based, as counted from the end: L - 13 is "_", L - 8 is "-".
    const auto text = [&](std::size_t position, std::size_t count) {
        const std::size_t begin = starts[position - 1];
        return std::string_view(name).substr(begin, starts[position - 1 + count] - begin);
    };
    if (text(length - 13, 1) != "_" || text(length - 8, 1) != "-")
        return std::nullopt;
    return FlashImagePages{LeadingDigits(text(length - 12, 4)), LeadingDigits(text(length - 7, 4))};
}

std::optional<std::string> FindFlashImageFor(const std::string& eepromImagePath)
{
    const std::string name = FileNameOfPath(eepromImagePath);
    const auto starts = CharacterStarts(name);
    const std::size_t length = starts.size() - 1;
    if (length < 4)
        return std::nullopt;

    // The path up to and including its last separator, kept as given for the result.
    const std::string lead = eepromImagePath.substr(0, eepromImagePath.size() - name.size());
    std::string folder = FolderOfPath(eepromImagePath);
    if (folder.empty() && !lead.empty())
        folder = lead;  // a file in the root folder

    const std::string prefix = ToUpperLatin1(name.substr(0, starts[length - 4]));
    std::vector<std::string> matches;
    for (const std::string& candidate : EntryNames(folder, true)) {
        if (MatchesPrefixAnySuffix(ToUpperLatin1(candidate), prefix, ".FLA"))
            matches.push_back(candidate);
    }
    if (matches.empty())
        return std::nullopt;

    const auto byName = [](const std::string& a, const std::string& b) {
        const std::string foldedA = ToUpperLatin1(a);
        const std::string foldedB = ToUpperLatin1(b);
        return foldedA != foldedB ? foldedA < foldedB : a < b;
    };
    return lead + *std::min_element(matches.begin(), matches.end(), byName);
}

std::optional<std::string> DeviceNameOfEepromImage(const std::string& fileName)
{
    const std::string name = FileNameOfPath(fileName);
    const auto underscore = name.find('_');
    if (underscore == std::string::npos)
        return std::nullopt;
    return name.substr(0, underscore);
}

std::optional<int> RecordCountOffset(const std::string& deviceName)
{
    const DeviceModel* model = FindDeviceModel(deviceName);
    return model ? model->recordCountOffset : std::nullopt;
}

std::optional<int> RecordCountInImage(const Bytes& image, int offset)
{
    if (offset < 0 || image.size() < 2)
        return std::nullopt;
    const auto at = static_cast<std::size_t>(offset);
    if (at > image.size() - 2)
        return std::nullopt;
    return image[at] | (image[at + 1] << 8);
}

bool ImageBaseInUse(const std::string& folder, const std::string& baseName)
{
    const std::string eeprom = ToUpperLatin1(EepromImageName(baseName));
    const std::string flashPrefix = ToUpperLatin1(baseName + "_");
    for (const std::string& entry : EntryNames(folder, false)) {
        const std::string folded = ToUpperLatin1(entry);
        if (folded == eeprom || MatchesPrefixAnySuffix(folded, flashPrefix, ".FLA"))
            return true;
    }
    return false;
}
