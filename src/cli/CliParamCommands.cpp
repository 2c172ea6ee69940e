#include "cli/CliCommandSet.h"

#include "cli/CliSink.h"
#include "params/ParamCatalogue.h"
#include "params/ParamOperations.h"

namespace {

int Ended(CliRun& run, const ParamResult& result, const CliSink& sink)
{
    if (result.identified)
        AddInstrument(run, result.instrument);
    if (!result.ok())
        FailedWith(run, result, sink);
    return ExitStatusOf(NumberOf(result.code));
}

}  // namespace

int RunInfo(CliRun& run)
{
    CliSink sink = run.Sink({});
    OperationContext context{run.link, sink, run.appFolder};
    const ParamResult result = ReadIdentity(context);
    if (result.ok()) {
        const InstrumentInfo& info = result.instrument;
        run.output += info.Name + " " + info.SerialNumber + " " + info.FwVersion + "\n";
    }
    return Ended(run, result, sink);
}

int RunParam(CliRun& run)
{
    const std::vector<std::string>& ops = run.options.operands;
    const bool write = ops[0] == "set";
    const ParamFamily& family = FamilyOf(run.options.family);
    ParamCatalogue catalogue;
    catalogue.LoadFamily(family.entry);
    const ParamRequest request{catalogue, family.lastIndex, ops[1], write ? ops[2] : ""};
    CliSink sink = run.Sink({});
    OperationContext context{run.link, sink, run.appFolder};
    const ParamResult result = write ? WriteParameter(context, request) : ReadParameter(context, request);

    run.result.Add("family", family.entry);
    if (result.index) {
        run.result.Add("index", *result.index).Add("description", catalogue.Description(*result.index));
    }
    if (result.ok()) {
        run.result.Add("value", result.value.value_or(""));
        run.output += result.value.value_or("") + "\n";
    }
    run.result.Add("outcome", result.outcome);
    return Ended(run, result, sink);
}
