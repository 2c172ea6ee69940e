#include "link/Identification.h"

#include <algorithm>

#include "core/ResultCodes.h"

namespace {

// Bytes of a 1-based position and length, absent beyond the end of the buffer.
Bytes Mid(const Bytes& bytes, std::size_t position, std::size_t length)
{
    if (position < 1 || position > bytes.size())
        return {};
    const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(position - 1);
    return Bytes(first, first + static_cast<std::ptrdiff_t>(std::min(length, bytes.size() - (position - 1))));
}

std::string Text(const Bytes& bytes)
{
    return BytesToText(bytes, 0, bytes.size());
}

}  // namespace

int ParseInfoAnswer(const Bytes& buffer, int count, InstrumentInfo& info)
{
    info.Name = Trim(BytesToText(buffer, 3, 8));
    info.SerialNumber = BytesToText(buffer, 11, 8);
    // The version text, one byte a character: positions count characters, so the fields are cut
    // from the bytes and only then become text (0xE9 is one character, two bytes of UTF-8).
    const std::size_t versionLength = count > 22 ? static_cast<std::size_t>(count - 22) : 0;
    const Bytes version = Mid(buffer, 20, versionLength);

    const auto dot = version.size() >= 3 ? std::find(version.begin() + 2, version.end(), '.') : version.end();
    const bool dotAtSix = dot != version.end() && dot - version.begin() + 1 == 6;
    info.FwVersion = Text(Mid(version, 1, dotAtSix ? 4 : 5));
    const bool recent = LeadingNumber(info.FwVersion) >= 1.13;
    info.FwDetail = Text(Mid(version, 11, recent ? 7 : 4));
    return code::kOk;
}
