// Parameter text: what the technician types and what the instrument answers. A value goes out only
// as plain digits its width can hold, and Write sends only the index that was typed.
#include "FuzzLink.h"
#include "core/ResultCodes.h"
#include "params/ParamCommands.h"
#include "params/ParamOperations.h"
#include "support/RecordingSink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const bool qmx = data.ConsumeBool();
    ParamCatalogue catalogue;
    catalogue.LoadFamily(qmx ? "31400 QMX, VERTA" : "31420 QS-LUMPROB");
    const int last = qmx ? 204 : 155;
    const std::string typedIndex = data.ConsumeRandomLengthString(24);
    const std::string typedValue = data.ConsumeRandomLengthString(32);

    if (const auto index = ParamIndexOfText(typedIndex))
        FUZZ_CHECK(LeadingNumberOf(typedIndex).has_value());
    const int index = data.ConsumeIntegralInRange<int>(0, last);
    const double value = LeadingNumber(typedValue);
    if (const auto text = ParamValueText(catalogue, index, value)) {
        FUZZ_CHECK(!text->empty() && text->size() <= kMaxParamValueDigits);
        FUZZ_CHECK(text->find_first_not_of("0123456789") == std::string::npos);
        const double range = catalogue.Type(index).Size == 1 ? 256.0 : catalogue.Type(index).Size == 2 ? 65536.0 : 4294967296.0;
        FUZZ_CHECK(std::stod(*text) < range);
    }
    FUZZ_CHECK(ParamNumberText(value).find_first_of("eE") == std::string::npos);

    // The whole Write with an instrument that answers anything.
    FuzzLink rig(data);
    RecordingSink sink;
    OperationContext context{rig.link, sink, ""};
    WriteParameter(context, {catalogue, last, typedIndex, typedValue});
    for (const Bytes& frame : rig.port.written) {
        if (frame.size() > 4 && frame[0] == ctl::SOH && frame[2] == 'i') {
            const auto typed = ParamIndexOfText(typedIndex);
            FUZZ_CHECK(typed && *typed >= 0 && *typed <= last && *typed == frame[3] * 256 + frame[4]);
        }
    }
    return 0;
}
