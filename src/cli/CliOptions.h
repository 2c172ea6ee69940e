#pragma once

#include <optional>
#include <string>
#include <vector>

// The command line of servicetool-cli, taken apart and checked before anything is opened.
struct CliOptions {
    // Global options.
    std::string port;      // "COM4", "4" or a device path; empty: the window's saved port
    std::string baud;      // "57600" or "115200"; empty: the command's own speed
    std::string model;     // the device name the instrument must report (and the simulated one's name)
    bool json = false;
    bool simulator = false;
    std::string configFile;  // the feature configuration file to use instead of searching for one

    // The command and its operands: "param" {"set", "12", "300"}.
    std::string command;
    std::vector<std::string> operands;

    // Command options.
    std::string family;                 // param: "31400" or "31420"
    bool eeprom = false;                // backup
    std::optional<std::string> flashRange;  // backup: "FROM-TO"
    bool flashMisOnly = false;          // backup
    std::string outDir;                 // backup: the folder; param dump: the sheet's file
    bool clearAll = false;              // restore
    bool yes = false;                   // restore: take the image's page numbers
    std::string package;                // flash
    std::string target;                 // flash
    bool link57600 = false;             // flash
    bool verify = false;                // flash: read the pages back on the direct route

    bool help = false;
    bool version = false;
};

struct CliParseResult {
    std::optional<CliOptions> options;
    std::string error;  // why the command line was refused
    bool json = false;  // --json was given, also on a refused line
};

// Options may stand anywhere; the first word that is not an option is the command.
CliParseResult ParseCliArguments(const std::vector<std::string>& arguments);

// The text of --help.
const char* CliUsage();
