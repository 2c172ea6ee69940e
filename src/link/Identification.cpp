#include "link/Identification.h"

#include "core/ResultCodes.h"

// Characters of a 1-based position and length, absent beyond the end.
static std::string Mid(const std::string& text, std::size_t position, std::size_t length)
{
    if (position < 1 || position > text.size())
        return {};
    return text.substr(position - 1, length);
}

int ParseInfoAnswer(const Bytes& buffer, int count, InstrumentInfo& info)
{
    info.Name = Trim(BytesToText(buffer, 3, 8));
    info.SerialNumber = BytesToText(buffer, 11, 8);
    const int versionLength = count - 22;
    const std::string text = versionLength > 0
        ? BytesToText(buffer, 19, static_cast<std::size_t>(versionLength))
        : std::string();

    const std::size_t dot = text.size() >= 3 ? text.find('.', 2) : std::string::npos;
    const bool dotAtSix = dot != std::string::npos && dot + 1 == 6;
    info.FwVersion = text.substr(0, dotAtSix ? 4 : 5);
    const bool recent = LeadingNumber(info.FwVersion) >= 1.13;
    info.FwDetail = Mid(text, 11, recent ? 7 : 4);
    return code::kOk;
}
