#include "cli/CliOptions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <map>

namespace {

constexpr const char* kUsage = R"(usage: servicetool-cli [--port COMn|DEVICE] [--baud 57600|115200] [--model NAME] [--json]
                       [--simulator] COMMAND ...

Commands:
  info                               identify the instrument
  param get INDEX [--family 31400|31420]
  param set INDEX VALUE [--family 31400|31420]
                                     read, or write and commit, one parameter
  param dump [--family 31400|31420] [--out FILE]
                                     read every parameter of the family into a sheet (CSV; one
                                     JSON object with --json); the family defaults to the
                                     instrument's own
  param diff SHEET [--family 31400|31420]
                                     the parameters whose value differs from a sheet saved by
                                     param dump (exit 0: none, 1: some)
  backup [--eeprom] [--flash FROM-TO | --flash-mis-only] [--out DIR]
                                     save the EEPROM (.epr) and flash pages (.fla) into DIR
                                     (default: both, pages 0-2047, the current folder;
                                     --flash-mis-only: the EEPROM and the pages of the stored
                                     measurements, as the window's "Flash #MIS only")
  restore FILE.epr [FILE.fla] --yes
  restore FILE.fla --yes
  restore --clear-all --yes          write images back into the instrument, or clear its EEPROM
  flash IMAGE [--target NAME] [--verify]
  flash --package PACKAGE [--link-57600] [--verify]
                                     program a board, or both boards of a package; --verify
                                     reads the board (a package's CPU board) back before Go
  caldate get | caldate set DD/MM/YY read or set the calibration date
  wifi get REG | wifi set REG VALUE | wifi on | wifi off | wifi save FILE | wifi load FILE
                                     the Wi-Fi module: one register (REG in hexadecimal, e.g.
                                     0x12), switch it, or all registers to or from a file

Options:
  --port COMn|DEVICE  the port: a COM number as in the window's COMM menu, or a device path
                      (default: the port last chosen in the window, else COM1)
  --baud B            57600 or 115200 (default 115200; flash: 57600)
  --model NAME        refuse to work unless the instrument reports this device name; with
                      --simulator, the simulated instrument's name (default VRTA708)
  --json              print one JSON object with the results on standard output
  --simulator         work on the simulated instrument instead of a port
  --yes               restore: answers the window's questions "This operation WRITE ... Continue ?"
                      and, for a flash image that is not pages 0-2047, "PAGE NUMBER WARNING" (the
                      pages go to the image's own page numbers); without it nothing is written
  --config FILE       the feature configuration file to use (default: Config314x0.cfg beside
                      the program, else in the user's configuration folder, else, on Linux, in
                      /etc/servicetool: the one the window uses)
  --help, --version

Commands the window hides unless its configuration file switches them on are refused the same
way (exit 77), naming the line to add: param needs 31400-paramedit; restore, and backup with
--eeprom, --flash or --flash-mis-only, need 31400-flashopen; restore --clear-all needs
31400-flashopen and 31400-EeWipeFull; caldate needs 314x0-CalStmp; wifi needs 31400-WlanOps.
info, flash and a plain backup (EEPROM and every flash page) are always offered.

The texts the window shows in its logs go to standard error; on a terminal, long transfers
show one progress line. Ctrl-C stops a backup or restore after its current block or page
(files stay whole); during flash it is refused once, a second Ctrl-C ends the run; any other
command stops at once.

Exit status: 0 success; else the operation's result code: 1 refused range, 3 no complete
answer, 4 value read back differs, 5 NAK, 7 malformed answer, 8 instrument answered not OK,
9 busy, 21 refused before sending, 25 short flash block; for flash the step it stopped at:
31 file not one the target takes, 32 package refused, 33 image missing, unreadable, empty or
too large, 34 port not opened, 35 sync, 36 erase, 37 write, 38 go, 39 instrument not switched
on, 40 boot command 0xD0, 41 sync, 42 erase, 43 write through the CPU board to the MIS board,
44 --verify: a page read back otherwise than written, or not at all; 64 bad command line, 69 no such port, 77 switched off by the configuration file, 130 stopped
by Ctrl-C. A failure ends standard error
with what failed; with --json the object's "error" holds the same text.

Examples:
  servicetool-cli --port COM5 info
  servicetool-cli --port /dev/ttyUSB0 param get 12
  servicetool-cli --port COM5 param set 12 300 --family 31420
  servicetool-cli --port COM5 param dump --out VRTA708_00001234_params.csv
  servicetool-cli --port COM5 param diff VRTA708_00001234_params.csv
  servicetool-cli --port COM5 backup --eeprom --flash 0-27 --out backups/
  servicetool-cli --port COM5 backup --flash-mis-only
  servicetool-cli --port COM5 restore backups/VRTA708_00001234_fwV1.05_250305140709.epr --yes
  servicetool-cli --port COM5 restore backups/VRTA708_00001234_fwV1.05_250305140709_0000-0027.fla --yes
  servicetool-cli --port COM5 restore --clear-all --yes
  servicetool-cli --port COM5 flash 31400_VERTA708_V1.06.bin --target VERTA708
  servicetool-cli --port COM5 flash --package 27520_Pack_V1-02/27520.pkg --link-57600
  servicetool-cli --port COM5 caldate set 07/03/25
  servicetool-cli --port COM5 wifi get 0x12
  servicetool-cli --port COM5 wifi save VRTA710_00001234_wifi.txt
)";

bool IsNumber(const std::string& text)
{
    return !text.empty() && text.size() <= 9 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "FROM-TO", both whole numbers.
bool IsPageRange(const std::string& text)
{
    const auto dash = text.find('-');
    return dash != std::string::npos && IsNumber(text.substr(0, dash)) && IsNumber(text.substr(dash + 1));
}

struct OperandRule {
    std::size_t min;
    std::size_t max;
};

std::string CheckOperands(const CliOptions& o)
{
    const auto& ops = o.operands;
    const std::string sub = ops.empty() ? std::string() : ops[0];
    const auto count = [&](std::size_t min, std::size_t max) -> std::string {
        if (ops.size() < min)
            return "missing operand for '" + o.command + (sub.empty() ? "" : " " + sub) + "'";
        if (ops.size() > max)
            return "unexpected operand '" + ops[max] + "'";
        return {};
    };
    if (o.command == "info" || o.command == "backup")
        return count(0, 0);
    if (o.command == "param") {
        if (sub == "dump")
            return count(1, 1);
        if (sub == "diff")
            return count(2, 2);
        if (sub != "get" && sub != "set")
            return "param: say get, set, dump or diff";
        if (auto error = count(sub == "get" ? 2 : 3, sub == "get" ? 2 : 3); !error.empty())
            return error;
        if (!IsNumber(ops[1]))
            return "param: INDEX must be a whole number, not '" + ops[1] + "'";
        return {};
    }
    if (o.command == "restore") {
        if (o.clearAll)
            return count(0, 0);
        return count(1, 2);
    }
    if (o.command == "flash")
        return o.package.empty() ? count(1, 1) : count(0, 0);
    if (o.command == "caldate") {
        if (sub == "get")
            return count(1, 1);
        if (sub == "set")
            return count(2, 2);
        return "caldate: say get or set";
    }
    if (o.command == "wifi") {
        static const std::map<std::string, OperandRule> rules{
            {"get", {2, 2}}, {"set", {3, 3}}, {"on", {1, 1}}, {"off", {1, 1}}, {"save", {2, 2}}, {"load", {2, 2}}};
        const auto rule = rules.find(sub);
        if (rule == rules.end())
            return "wifi: say get, set, on, off, save or load";
        return count(rule->second.min, rule->second.max);
    }
    return "unknown command '" + o.command + "'";
}

std::string CheckCombinations(const CliOptions& o)
{
    if (!o.baud.empty() && o.baud != "57600" && o.baud != "115200")
        return "--baud: 57600 or 115200, not '" + o.baud + "'";
    if (!o.family.empty() && o.family != "31400" && o.family != "31420")
        return "--family: 31400 or 31420, not '" + o.family + "'";
    if (o.flashRange && !IsPageRange(*o.flashRange))
        return "--flash: FROM-TO with two page numbers, not '" + *o.flashRange + "'";
    if (o.flashRange && o.flashMisOnly)
        return "--flash and --flash-mis-only exclude each other";
    const auto onlyFor = [&](bool given, const char* option, const char* command) -> std::string {
        return given && o.command != command ? std::string(option) + " belongs to '" + command + "'" : std::string();
    };
    for (const std::string& error :
         {onlyFor(!o.family.empty(), "--family", "param"), onlyFor(o.eeprom, "--eeprom", "backup"),
          onlyFor(o.flashRange.has_value(), "--flash", "backup"), onlyFor(o.flashMisOnly, "--flash-mis-only", "backup"),
          onlyFor(o.clearAll, "--clear-all", "restore"),
          onlyFor(o.yes, "--yes", "restore"), onlyFor(!o.package.empty(), "--package", "flash"),
          onlyFor(!o.target.empty(), "--target", "flash"), onlyFor(o.link57600, "--link-57600", "flash"),
          onlyFor(o.verify, "--verify", "flash")}) {
        if (!error.empty())
            return error;
    }
    const bool dump = o.command == "param" && !o.operands.empty() && o.operands[0] == "dump";
    if (!o.outDir.empty() && o.command != "backup" && !dump)
        return "--out belongs to 'backup' and 'param dump'";
    if (o.link57600 && o.package.empty())
        return "--link-57600 belongs to 'flash --package'";
    return {};
}

// Options followed by their value.
bool TakesValue(const std::string& arg)
{
    static const std::array<const char*, 9> valued{"--port", "--baud",    "--model",  "--family", "--out",
                                                    "--package", "--target", "--flash", "--config"};
    return std::find(valued.begin(), valued.end(), arg) != valued.end();
}

// --json anywhere on the line, but not as the value of another option.
bool AsksForJson(const std::vector<std::string>& arguments)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--json")
            return true;
        if (TakesValue(arguments[i]))
            ++i;
    }
    return false;
}

CliParseResult Parse(const std::vector<std::string>& arguments);

}  // namespace

CliParseResult ParseCliArguments(const std::vector<std::string>& arguments)
{
    CliParseResult parsed = Parse(arguments);
    parsed.json = AsksForJson(arguments);
    return parsed;
}

const char* CliUsage()
{
    return kUsage;
}

namespace {

CliParseResult Parse(const std::vector<std::string>& arguments)
{
    CliOptions o;
    const std::map<std::string, std::string*> valued{
        {"--port", &o.port},     {"--baud", &o.baud},       {"--model", &o.model},  {"--family", &o.family},
        {"--out", &o.outDir},    {"--package", &o.package}, {"--target", &o.target}, {"--config", &o.configFile}};
    const std::map<std::string, bool*> flags{
        {"--json", &o.json},           {"--simulator", &o.simulator}, {"--eeprom", &o.eeprom},
        {"--flash-mis-only", &o.flashMisOnly}, {"--clear-all", &o.clearAll}, {"--yes", &o.yes},
        {"--link-57600", &o.link57600}, {"--verify", &o.verify},       {"--help", &o.help},
        {"-h", &o.help},               {"--version", &o.version}};

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (const auto flag = flags.find(arg); flag != flags.end()) {
            *flag->second = true;
            continue;
        }
        if (TakesValue(arg)) {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty())
                return {std::nullopt, arg + " needs a value"};
            const std::string& value = arguments[++i];
            if (arg == "--flash")
                o.flashRange = value;
            else
                *valued.at(arg) = value;
            continue;
        }
        // "-300" is a value to write, not an option.
        const bool negativeNumber = arg.size() > 1 && arg[0] == '-' && (std::isdigit(static_cast<unsigned char>(arg[1])) || arg[1] == '.');
        if (arg.size() > 1 && arg[0] == '-' && !negativeNumber)
            return {std::nullopt, "unknown option '" + arg + "'"};
        if (o.command.empty())
            o.command = arg;
        else
            o.operands.push_back(arg);
    }
    if (o.help || o.version)
        return {o, {}};
    if (o.command.empty())
        return {std::nullopt, "no command given"};
    if (std::string error = CheckOperands(o); !error.empty())
        return {std::nullopt, error};
    if (std::string error = CheckCombinations(o); !error.empty())
        return {std::nullopt, error};
    return {o, {}};
}

}  // namespace
