// Every command routine against any answer, whole or damaged, early or late: nothing is taken from
// an answer that is not one whole, well-formed frame, and no routine reads or writes out of bounds.
#include "FuzzLink.h"
#include "core/ResultCodes.h"
#include "link/Answers.h"
#include "link/Commands.h"
#include "params/ParamCommands.h"

namespace {

void CheckTaken(const SerialLink& link, int code)
{
    if (code == code::kOk)
        FUZZ_CHECK(IsWellFormedAnswer(link.Rx));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    FuzzLink rig(data);
    SerialLink& link = rig.link;
    ParamCatalogue catalogue;
    catalogue.LoadFamily(data.ConsumeBool() ? "31400 QMX, VERTA" : "31420 QS-LUMPROB");
    std::string message;
    for (int call = 0; call < 6 && data.remaining_bytes() > 0; ++call) {
        switch (data.ConsumeIntegralInRange<int>(0, 9)) {
        case 0: {
            InstrumentInfo info;
            const int code = ReadInstrumentInfo(link, info);
            CheckTaken(link, code);
            FUZZ_CHECK(code != code::kOk || (link.Rx.RxCount >= 36 && info.Message.empty()));
            FUZZ_CHECK(code == code::kOk || info.Name.empty());
            break;
        }
        case 1:
            CheckTaken(link, CommitParams(link, message));
            break;
        case 2: {
            Bytes block;
            const int code = ReadEepromBlock(link, data.ConsumeIntegralInRange<int>(-5, 70000), block, message);
            CheckTaken(link, code);
            FUZZ_CHECK(code != code::kOk ||
                       (block.size() == 100 && std::equal(block.begin(), block.end(), link.Rx.RxBuffer.begin() + 3)));
            break;
        }
        case 3: {
            const Bytes block = data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<std::size_t>(0, 150));
            CheckTaken(link, WriteEepromBlock(link, data.ConsumeIntegralInRange<int>(-5, 70000), block, message));
            break;
        }
        case 4: {
            FlashPageRecord record;
            record.FirstPage = data.ConsumeIntegralInRange<int>(-2, 4100);
            record.LastPage = record.FirstPage + data.ConsumeIntegralInRange<int>(-1, 2);
            const int code = ReadFlashPages(link, record);
            CheckTaken(link, code);
            FUZZ_CHECK(code != code::kOk || record.Count == 4096 * (record.LastPage - record.FirstPage + 1));
            FUZZ_CHECK(code != code::kRefused || !record.Message.empty());
            break;
        }
        case 5: {
            FlashPageRecord record;
            record.FirstPage = data.ConsumeIntegralInRange<int>(-2, 4100);
            record.LastPage = record.FirstPage + data.ConsumeIntegralInRange<int>(-1, 2);
            record.Count = data.ConsumeBool() ? 4096 : data.ConsumeIntegralInRange<int>(-10, 9000);
            const int code = WriteFlashPages(link, record);
            CheckTaken(link, code);
            FUZZ_CHECK(code != code::kRefused || !record.Message.empty());
            break;
        }
        case 6: {
            std::vector<int> values(data.ConsumeIntegralInRange<std::size_t>(0, 52));
            for (int& value : values)
                value = data.ConsumeIntegral<int>();
            CheckTaken(link, WifiWriteValues(link, data.ConsumeIntegralInRange<int>(-1, 300), values, message));
            break;
        }
        case 7:
            CheckTaken(link, WifiCommand(link, data.ConsumeIntegralInRange<int>(-1, 300), message));
            break;
        case 8: {
            double value = 0.0;
            CheckTaken(link, ReadParam(link, catalogue, data.ConsumeIntegralInRange<int>(-2, 70000), value));
            break;
        }
        default: {
            double written = 0.0;
            const double value = data.ConsumeFloatingPoint<double>();
            const int code = WriteParam(link, catalogue, data.ConsumeIntegralInRange<int>(-2, 400), value, written);
            CheckTaken(link, code);
            break;
        }
        }
    }
    return 0;
}
