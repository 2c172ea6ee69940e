// The feature configuration file: any content splits into lines without their line ends, and only
// a line that is exactly a keyword switches a feature on.
#include "FuzzLink.h"
#include "core/FeatureConfig.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    const std::vector<std::string> lines = ConfigLinesOfText(text);
    const auto breaks = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    FUZZ_CHECK(lines.size() == breaks + (text.empty() || text.back() == '\n' ? 0 : 1));
    std::size_t characters = 0;
    for (const std::string& line : lines) {
        FUZZ_CHECK(line.find('\n') == std::string::npos);
        characters += line.size();
        if (const auto feature = FeatureOfLine(line))
            FUZZ_CHECK(line.size() >= 13 && line.find_first_of(" \r\t") == std::string::npos);
    }
    FUZZ_CHECK(characters <= text.size());
    return 0;
}
