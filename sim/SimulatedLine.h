#pragma once

#include <string>

#include "sim/SimBoards.h"
#include "sim/SimInstrument.h"
#include "sim/SimPort.h"

// The simulated instrument on a port of its own (port 1), as the programs offer it with
// --simulator: an instrument of the given model with its two boards, answering at the line rate
// on the scheduler's clock. With `cpuInBootloader` its CPU board starts in its bootloader.
class SimulatedLine {
public:
    SimulatedLine(const std::string& model, bool cpuInBootloader, Scheduler& scheduler);
    SimulatedLine(const SimulatedLine&) = delete;
    SimulatedLine& operator=(const SimulatedLine&) = delete;

    SerialPort& Port() { return port_; }
    SimInstrument& Instrument() { return instrument_; }
    SimBoards& Boards() { return boards_; }

    static constexpr int kPortNumber = 1;

private:
    SimInstrument instrument_;
    SimBoards boards_;
    SimPort port_;
};
