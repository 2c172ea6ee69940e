#include "sim/FaultRuleText.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

namespace {

std::optional<unsigned long> Number(const std::string& text)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const auto first = static_cast<unsigned char>(text[hex ? 2 : 0]);
    if (hex ? !std::isxdigit(first) : !std::isdigit(first))
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (errno != 0 || end == text.c_str() + (hex ? 2 : 0) || *end != '\0')
        return std::nullopt;
    return value;
}

std::optional<Bytes> Hex(const std::string& text)
{
    if (text.empty() || text.size() % 2 != 0)
        return std::nullopt;
    Bytes bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const auto value = Number("0x" + text.substr(i, 2));
        if (!value)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(*value));
    }
    return bytes;
}

}  // namespace

std::optional<SimFaultRule> ParseFaultRule(const std::string& text, std::string& error)
{
    static const std::map<std::string, SimFault> kinds{
        {"silence", SimFault::Silence},      {"nak", SimFault::Nak},
        {"busy", SimFault::Busy},            {"notok", SimFault::NotOk},
        {"nakstatus", SimFault::NakStatus},
        {"garbage", SimFault::GarbageBeforeAck}, {"noeot", SimFault::MissingEot},
        {"truncated", SimFault::Truncated},  {"overlong", SimFault::OverLong},
        {"slow", SimFault::Slow},            {"slowframe", SimFault::SlowFrame},
        {"scripted", SimFault::Scripted},
    };
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, ',');)
        parts.push_back(part);
    if (parts.empty() || kinds.count(parts[0]) == 0) {
        error = "unknown fault kind in \"" + text + "\"";
        return std::nullopt;
    }
    SimFaultRule rule = SimFaultRule::Any(kinds.at(parts[0]));
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const auto eq = parts[i].find('=');
        const std::string key = parts[i].substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : parts[i].substr(eq + 1);
        const auto bad = [&] {
            error = "bad value for " + key + " in \"" + text + "\"";
            return std::nullopt;
        };
        if (key == "cmd") {
            std::optional<unsigned long> command;
            if (value.size() == 1 && !(value[0] >= '0' && value[0] <= '9'))
                command = static_cast<unsigned char>(value[0]);
            else
                command = Number(value);
            if (!command || *command > 0xFF)
                return bad();
            rule.commands = {static_cast<std::uint8_t>(*command)};
        } else if (key == "page") {
            const auto page = Number(value);
            if (!page || *page >= static_cast<unsigned long>(kSimFlashPages))
                return bad();
            const SimFaultRule paged = SimFaultRule::FlashPage(static_cast<int>(*page), rule.fault);
            rule.commands = paged.commands;
            rule.targetFrom = paged.targetFrom;
            rule.targetTo = paged.targetTo;
        } else if (key == "eeprom") {
            const auto address = Number(value);
            if (!address || *address > 0xFFFF)
                return bad();
            rule.commands = {'e'};
            rule.Target(static_cast<std::uint32_t>(*address), static_cast<std::uint32_t>(*address));
        } else if (key == "target") {
            const auto dash = value.find('-');
            const auto from = Number(value.substr(0, dash));
            const auto to = dash == std::string::npos ? from : Number(value.substr(dash + 1));
            if (!from || !to || *from > *to || *to > 0xFFFFFFFFUL)
                return bad();
            rule.Target(static_cast<std::uint32_t>(*from), static_cast<std::uint32_t>(*to));
        } else if (key == "after" || key == "times" || key == "length") {
            if (key == "times" && value == "forever") {
                rule.times = kSimForever;
                continue;
            }
            const auto n = Number(value);
            if (!n || *n > 1000000UL)
                return bad();
            if (key == "after")
                rule.after = static_cast<int>(*n);
            else if (key == "times")
                rule.times = static_cast<int>(*n);
            else
                rule.length = *n;
        } else if (key == "delay") {
            char* end = nullptr;
            const double seconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(seconds >= 0.0 && seconds <= 3600.0))
                return bad();
            rule.delayS = seconds;
        } else if (key == "bytes") {
            const auto bytes = Hex(value);
            if (!bytes)
                return bad();
            rule.bytes = *bytes;
        } else {
            error = "unknown key " + key + " in \"" + text + "\"";
            return std::nullopt;
        }
    }
    return rule;
}
