#include "cli/CliPort.h"

#include <algorithm>
#include <cctype>

namespace {
constexpr int kLastPort = 15;

bool AllDigits(const std::string& text)
{
    return !text.empty() && text.size() <= 3 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}
}  // namespace

CliPortChoice ChooseCliPort(const std::string& option, int savedPort)
{
    CliPortChoice choice;
    if (option.empty()) {
        choice.number = savedPort >= 1 && savedPort <= kLastPort ? savedPort : 1;
        return choice;
    }
    // "COM4" as the ports are called, "COMM4" as the window's menu calls them, or just "4".
    std::string upper = option;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::size_t prefix = upper.compare(0, 4, "COMM") == 0 ? 4 : upper.compare(0, 3, "COM") == 0 ? 3 : 0;
    const std::string number = option.substr(prefix);
    if (prefix > 0 || AllDigits(number)) {
        if (AllDigits(number))
            choice.number = std::stoi(number);
        if (!AllDigits(number) || choice.number < 1 || choice.number > kLastPort)
            choice.error = "--port: COM1 to COM15 or a device path, not " + option;
        return choice;
    }
    choice.device = option;
    return choice;
}
