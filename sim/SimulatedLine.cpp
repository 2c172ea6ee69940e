#include "sim/SimulatedLine.h"


namespace {
SimIdentity IdentityOf(const std::string& model)
{
    SimIdentity identity;
    identity.name = model;
    return identity;
}
}  // namespace

SimulatedLine::SimulatedLine(const std::string& model, bool cpuInBootloader, Scheduler& scheduler)
    : instrument_(IdentityOf(model)), boards_(instrument_), port_(boards_, scheduler)
{
    const bool lumFamily = SimCountsInParam26(model);
    instrument_.SetParamFamily(lumFamily ? "31420 QS-LUMPROB" : "31400 QMX, VERTA");
    if (cpuInBootloader)
        boards_.StartCpuInBootloader();
    port_.SetExistingPorts({kPortNumber});
    port_.SetPacing(true);
}
