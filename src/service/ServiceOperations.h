#pragma once

#include <optional>
#include <string>

#include "core/Operation.h"
#include "link/Identification.h"
#include "link/OperationContext.h"
#include "service/WifiRegisters.h"

// The Get and Set operations of the Service tab's Wi-Fi commands, each from opening the port to
// closing it. The log goes to the sink as the tab's log box shows it.

// What every Service operation reports besides what it produced.
struct ServiceResult : OperationResult {
    bool identified = false;  // the instrument answered its identification
    InstrumentInfo instrument;
};

// Get of one register of the register list.
struct RegisterReadRequest {
    int number = 0;
};
struct RegisterReadResult : ServiceResult {
    // What a value box shows after the read: the register's value text, or " NO EOT"; nothing when
    // no read was made.
    std::optional<std::string> value;
    std::string reply;                       // the module's answer in words, as the log shows it
    std::optional<FunctionBoxes> functions;  // register 0x20 read: the function boxes' ticks
};
RegisterReadResult ReadRegister(OperationContext& context, const RegisterReadRequest& request);

// Set of one register of the register list: the value typed, or for register 0x20 the four
// function boxes.
struct RegisterWriteRequest {
    int number = 0;
    std::string valueText;
    FunctionBoxes functions{};
};
struct RegisterWriteResult : ServiceResult {
    // The value box rewritten (blanks removed, a TCP port as its number); nothing: as it was.
    std::optional<std::string> value;
};
RegisterWriteResult WriteRegister(OperationContext& context, const RegisterWriteRequest& request);

// "WiFi setting": the module off or on.
struct WifiModuleRequest {
    bool on = false;
};
ServiceResult SwitchWifiModule(OperationContext& context, const WifiModuleRequest& request);

// Get and Set with "All registers": every readable register into a register file, or every line
// of one back into the module. The file is asked for with question::SaveRegisterFile or
// question::LoadRegisterFile.
struct RegisterFileResult : ServiceResult {
    std::string path;                        // the file saved or loaded
    std::optional<FunctionBoxes> functions;  // read-all: the boxes as register 0x20 ticks them
    std::optional<int> failedRegister;       // the register whose read or write failed
    int written = 0;                         // write-all: registers written
};
RegisterFileResult ReadAllRegisters(OperationContext& context);
RegisterFileResult WriteAllRegisters(OperationContext& context);
