#include "cli/CliDialogs.h"

#include <cctype>


namespace {

std::string OneLine(const std::string& text)
{
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            line += " | ";
            ++i;
        } else {
            line += text[i];
        }
    }
    return line;
}

// A question is refused: No, or Cancel when offered; a message is acknowledged.
MsgAnswer Refusal(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::YesNo: return MsgAnswer::No;
    case MsgButtons::YesNoCancel:
    case MsgButtons::OkCancel: return MsgAnswer::Cancel;
    case MsgButtons::Ok: break;
    }
    return MsgAnswer::Ok;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "COM1" as a whole word (not the start of "COM12") replaced by `name`.
std::string WithPortNamed(const std::string& text, int number, const std::string& name)
{
    const std::string port = "COM" + std::to_string(number);
    std::string named;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(port, start)) != std::string::npos; start = at + port.size()) {
        const std::size_t end = at + port.size();
        const bool whole = (at == 0 || !std::isalnum(static_cast<unsigned char>(text[at - 1]))) &&
                           (end == text.size() || !IsDigit(text[end]));
        named += text.substr(start, at - start) + (whole ? name : port);
    }
    return named + text.substr(start);
}

}  // namespace

MsgAnswer CliDialogs::Message(MsgIcon, const std::string& title, const std::string& text, MsgButtons buttons)
{
    const std::string named = portName_.empty() ? text : WithPortNamed(text, portNumber_, portName_);
    const std::string shown = "[" + title + "] " + OneLine(named);
    messages_.push_back(shown);
    log_.PrintLine(shown);
    return Refusal(buttons);
}
