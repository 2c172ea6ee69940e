#pragma once

#include <string>

#include "cli/CliCommands.h"
#include "cli/CliSink.h"
#include "core/Operation.h"
#include "link/Identification.h"
#include "link/InstrumentModels.h"

// The commands of servicetool-cli, one file per part of the tool, and what they share.

int RunInfo(CliRun& run);
int RunParam(CliRun& run);
int RunBackup(CliRun& run);
int RunRestore(CliRun& run);
int RunFlash(CliRun& run);
int RunCaldate(CliRun& run);
int RunWifi(CliRun& run);

// The command as the technician gave it: "param set 5 9".
std::string CommandWords(const CliOptions& o);
// A log text as standard error shows it: one line per line, blank lines at either end left out.
std::string AsLines(const std::string& logText);
// Ends the command with `status`, `why` being what failed.
int Refuse(CliRun& run, int status, const std::string& why);
// The window's log said what failed; standard error has it already.
void WindowSaid(CliRun& run, const std::string& logText);
void AddInstrument(CliRun& run, const InstrumentInfo& info);
// The operation failed: its reason is what failed (already on standard error when the log said it).
void FailedWith(CliRun& run, const OperationResult& result, const CliSink& sink);
const ParamFamily& FamilyOf(const std::string& option);
bool SameFile(const std::string& a, const std::string& b);
bool EndsWithEpr(const std::string& path);
bool EndsWithNoCase(const std::string& text, const std::string& end);
