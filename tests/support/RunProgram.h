#pragma once

#include <functional>
#include <string>
#include <vector>

struct ProgramRun {
    int exitCode = -1;  // -1: it did not end by itself (killed after the time-out) or never started
    std::string out;
    std::string err;
};

// Runs a program to its end and collects what it printed. `environment` changes the inherited
// environment: "NAME=value" sets, "NAME" alone removes. After `timeoutMs` the program is killed.
// `interruptWhen`, looked at whenever output arrives and every 50 ms, tells how many SIGINTs the
// program should have had by now (given what was printed so far and the seconds since the start);
// the missing ones are sent, one per look. A predicate that returns true asks for one.
ProgramRun RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {},
                      int timeoutMs = 10000,
                      const std::function<int(const ProgramRun&, double)>& interruptWhen = {});
