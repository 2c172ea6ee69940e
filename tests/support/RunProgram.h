#pragma once

#include <string>
#include <vector>

struct ProgramRun {
    int exitCode = -1;  // -1: it did not end by itself (killed after the time-out) or never started
    std::string out;
    std::string err;
};

// Runs a program to its end and collects what it printed. `environment` changes the inherited
// environment: "NAME=value" sets, "NAME" alone removes. After `timeoutMs` the program is killed.
ProgramRun RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {},
                      int timeoutMs = 10000);
