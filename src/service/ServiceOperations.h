#pragma once

#include <string>

#include "core/Dialogs.h"
#include "link/Identification.h"
#include "link/SerialLink.h"
#include "params/ParamCatalogue.h"
#include "service/ServiceView.h"

// What the service operations work with.
struct ServiceContext {
    SerialLink& link;
    Dialogs& dialogs;
    const ParamCatalogue& catalogue;  // widths of the calibration-date parameters
    std::string appFolder;            // first folder of the register-file dialogs
};

enum class ServiceButton { Get, Set };

// Get or Set of the Service tab, from opening the port to closing it: empties the log, identifies
// the instrument, then runs the command the view shows. Returns the code of the operation; an
// operation that ended without a word (cancelled dialog, a value or file it cannot use) returns 21
// and leaves the log as it was.
int RunServiceButton(ServiceContext& context, ServiceView& view, ServiceButton button);

// The operations themselves, on an open port and an identified instrument.
int ReadOneRegister(ServiceContext& context, ServiceView& view, const InstrumentInfo& info);
int WriteOneRegister(ServiceContext& context, ServiceView& view, const InstrumentInfo& info);
int SwitchWifiModule(ServiceContext& context, ServiceView& view, const InstrumentInfo& info);
int ReadAllRegisters(ServiceContext& context, ServiceView& view, const InstrumentInfo& info);
int WriteAllRegisters(ServiceContext& context, ServiceView& view, const InstrumentInfo& info);
