#pragma once

// The tool's reaction time as the instrument sees it, from `servicetool-sim --log FILE`: for every
// exchange, the time from the simulator's last answer byte to the first byte of the next request,
// grouped by the kind of exchange. The simulator's own latency (its wake-up, two crossings of the
// pseudo-terminal) is in every gap, the same for every client.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace gaps {

// A run of bytes in one direction: the request as the simulator received it (from its first
// byte), or the answer as it sent it (until its last byte).
struct Turn {
    bool fromTool = false;
    double first = 0.0;
    double last = 0.0;
    std::vector<std::uint8_t> bytes;
};

inline std::vector<std::uint8_t> FromHex(const std::string& hex)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Consecutive lines of one direction joined into one turn.
inline std::vector<Turn> ReadTurns(const std::string& path)
{
    std::vector<Turn> turns;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        double at = 0.0;
        std::string direction;
        std::string hex;
        if (!(fields >> at >> direction >> hex) || (direction != "rx" && direction != "tx"))
            continue;
        const bool fromTool = direction == "rx";
        if (turns.empty() || turns.back().fromTool != fromTool)
            turns.push_back({fromTool, at, at, {}});
        Turn& turn = turns.back();
        turn.last = at;
        const auto bytes = FromHex(hex);
        turn.bytes.insert(turn.bytes.end(), bytes.begin(), bytes.end());
    }
    return turns;
}

// Names a request of the STM32 bootloader protocol by the command it belongs to.
class BootRequestNames {
public:
    std::string operator()(const std::vector<std::uint8_t>& request)
    {
        if (request.size() == 1 && request[0] == 0x7F) {
            step_ = 0;
            return "sync";
        }
        if (request.size() == 2 && request[1] == static_cast<std::uint8_t>(request[0] ^ 0xFF)) {
            command_ = request[0];
            step_ = 1;
            char name[8];
            std::snprintf(name, sizeof name, "0x%02X", command_);
            return name;
        }
        const int step = step_++;
        switch (command_) {
        case 0x31: return step == 1 ? "address" : "data block";
        case 0x11: return step == 1 ? "address" : "count";
        case 0x21: return "address";
        case 0x44: return "erase code";
        default: return "other";
        }
    }

private:
    std::uint8_t command_ = 0;
    int step_ = 0;
};

// Names a request of the instrument protocol by its command byte (the first payload byte).
inline std::string InstrumentRequestName(const std::vector<std::uint8_t>& request)
{
    std::size_t at = 0;
    if (!request.empty() && request[0] == 0x01)
        at = 2;
    else if (!request.empty() && request[0] == 0x02)
        at = 3;
    if (at == 0 || at >= request.size())
        return "other";
    char name[8];
    std::snprintf(name, sizeof name, "0x%02X", request[at]);
    return name;
}

struct Figures {
    std::vector<double> gaps;  // seconds

    double Sum() const
    {
        double sum = 0.0;
        for (const double g : gaps)
            sum += g;
        return sum;
    }
    double Mean() const { return gaps.empty() ? 0.0 : Sum() / static_cast<double>(gaps.size()); }
    double P90() const
    {
        if (gaps.empty())
            return 0.0;
        std::vector<double> sorted = gaps;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, sorted.size() * 9 / 10)];
    }
};

// Gaps longer than this are the tool's deliberate pauses (between steps, before a retry), not
// its reaction to an answer; they are counted apart.
constexpr double kPauseS = 0.005;

struct Report {
    std::map<std::string, Figures> byKind;  // "<request> -> <next request>"
    Figures pauses;
    double lineBytes = 0.0;  // both directions
};

// `name` names each request in order; a kind is the answered request and the one that follows.
template <typename Namer>
Report Analyse(const std::vector<Turn>& turns, Namer name)
{
    Report report;
    std::string previous;
    for (std::size_t i = 0; i < turns.size(); ++i) {
        const Turn& turn = turns[i];
        report.lineBytes += static_cast<double>(turn.bytes.size());
        if (!turn.fromTool)
            continue;
        const std::string current = name(turn.bytes);
        if (i >= 1 && !turns[i - 1].fromTool) {
            const double gap = turn.first - turns[i - 1].last;
            (gap > kPauseS ? report.pauses : report.byKind[previous + " -> " + current]).gaps.push_back(gap);
        }
        previous = current;
    }
    return report;
}

inline Report AnalyseBootLog(const std::string& path)
{
    return Analyse(ReadTurns(path), BootRequestNames());
}

inline Report AnalyseInstrumentLog(const std::string& path)
{
    return Analyse(ReadTurns(path), InstrumentRequestName);
}

// One line a kind that happened at least `minCount` times, then the sum of every gap.
inline void Print(const Report& report, const char* title, std::size_t minCount = 1)
{
    std::printf("%s (from the simulator's byte log)\n", title);
    std::printf("  %-30s %8s %10s %10s\n", "answer to next request", "count", "mean ms", "p90 ms");
    double sum = 0.0;
    std::size_t count = 0;
    for (const auto& [kind, figures] : report.byKind) {
        sum += figures.Sum();
        count += figures.gaps.size();
        if (figures.gaps.size() < minCount)
            continue;
        std::printf("  %-30s %8zu %10.3f %10.3f\n", kind.c_str(), figures.gaps.size(), 1000.0 * figures.Mean(),
                    1000.0 * figures.P90());
    }
    std::printf("  %-30s %8zu %10.3f s in all\n", "every reaction", count, sum);
    std::printf("  %-30s %8zu %10.3f s in all\n", "pauses over 5 ms", report.pauses.gaps.size(), report.pauses.Sum());
}

inline double ReactionSum(const Report& report)
{
    double sum = 0.0;
    for (const auto& [kind, figures] : report.byKind)
        sum += figures.Sum();
    return sum;
}

}  // namespace gaps
