#pragma once

#include <functional>
#include <string>

#include "cli/CliDialogs.h"
#include "cli/CliJson.h"
#include "cli/CliLog.h"
#include "cli/CliOptions.h"
#include "cli/CliSink.h"
#include "core/FeatureConfig.h"
#include "link/SerialLink.h"

// Exit statuses of servicetool-cli beyond the operations' own result codes.
namespace cli_exit {
constexpr int kFailed = 1;           // the operation failed without a code of its own
constexpr int kUsage = 64;           // the command line was refused
constexpr int kNoSuchPort = 69;      // the port does not exist
constexpr int kSwitchedOff = 77;     // the configuration file leaves the command switched off
constexpr int kInterrupted = 130;    // stopped with Ctrl-C
}  // namespace cli_exit

// Everything one command runs with. The link is set to the chosen port and speed by the caller.
struct CliRun {
    SerialLink& link;
    CliDialogs& dialogs;
    CliLog& log;
    const CliOptions& options;
    JsonObject& result;
    std::string appFolder;     // first folder of the operations' file dialogs
    const bool& interrupted;   // Ctrl-C was pressed
    // What a script wants of the command, for standard output without --json: the value read,
    // the files saved. Each line ends with a line break.
    std::string output;
    // What failed: the last line on standard error and the "error" of --json. `shown` when it is
    // the window's own text, which standard error already has.
    struct Failure {
        std::string text;
        bool shown = false;
    } failure;

    // The features the configuration file switches on; a command that needs another is refused.
    std::vector<Feature> features{};

    // The sink of one operation, its questions answered as given.
    CliSink Sink(CliAnswers answers);
};

// Runs the command of the options on the link; returns the exit status. Finishes the log; a
// non-zero status ends it with a line saying what failed, also given to the result as "error".
int RunCliCommand(CliRun& run);

// The exit status of an operation's result code.
int ExitStatusOf(int resultCode);
