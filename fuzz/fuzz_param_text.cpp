// Parameter text: what the technician types and what the instrument answers. A value goes out only
// as plain digits its width can hold, and Write sends only the index that was typed.
#include "FuzzLink.h"
#include "core/ResultCodes.h"
#include "params/ParamCommands.h"
#include "params/ParamOperations.h"

namespace {

class FuzzParamView : public ParamView {
public:
    std::string IndexText() const override { return index; }
    void SetIndexText(const std::string& text) override { index = text; }
    std::string ValueText() const override { return value; }
    void SetValueText(const std::string& text) override { value = text; }
    void SetIndexPosition(int) override {}
    void SetOutcome(const std::string&) override {}
    void ShowBaud() override {}
    int LastIndex() const override { return last; }
    std::string index, value;
    int last = 204;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const bool qmx = data.ConsumeBool();
    ParamCatalogue catalogue;
    catalogue.LoadFamily(qmx ? "31400 QMX, VERTA" : "31420 QS-LUMPROB");
    FuzzParamView view;
    view.last = qmx ? 204 : 155;
    view.index = data.ConsumeRandomLengthString(24);
    view.value = data.ConsumeRandomLengthString(32);

    if (const auto index = ParamIndexOfText(view.index))
        FUZZ_CHECK(LeadingNumberOf(view.index).has_value());
    const int index = data.ConsumeIntegralInRange<int>(0, view.last);
    const double value = LeadingNumber(view.value);
    if (const auto text = ParamValueText(catalogue, index, value)) {
        FUZZ_CHECK(!text->empty() && text->size() <= kMaxParamValueDigits);
        FUZZ_CHECK(text->find_first_not_of("0123456789") == std::string::npos);
        const double range = catalogue.Type(index).Size == 1 ? 256.0 : catalogue.Type(index).Size == 2 ? 65536.0 : 4294967296.0;
        FUZZ_CHECK(std::stod(*text) < range);
    }
    FUZZ_CHECK(ParamNumberText(value).find_first_of("eE") == std::string::npos);

    // The whole Write with an instrument that answers anything.
    FuzzLink rig(data);
    const std::string typedIndex = view.index;
    RunParamWrite(rig.link, catalogue, view);
    for (const Bytes& frame : rig.port.written) {
        if (frame.size() > 4 && frame[0] == ctl::SOH && frame[2] == 'i') {
            const auto typed = ParamIndexOfText(typedIndex);
            FUZZ_CHECK(typed && *typed >= 0 && *typed <= view.last && *typed == frame[3] * 256 + frame[4]);
        }
    }
    return 0;
}
