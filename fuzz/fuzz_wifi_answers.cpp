// Register read answers of any bytes, for any register: an answer is used only when it is a whole,
// well-formed frame, and what it gives is text the register file can hold.
#include "FuzzLink.h"
#include "link/Answers.h"
#include "service/WifiCommands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const int n = data.ConsumeIntegralInRange<int>(0, 0x45);
    RxState rx;
    rx.ResetForExchange();
    for (const std::uint8_t byte : FuzzAnswer(data))
        rx.Accept(byte);
    WifiRegisterSet record;
    const int code = JudgeWifiReadAnswer(rx, n, record);
    if (code == 0) {
        FUZZ_CHECK(IsWellFormedAnswer(rx));
        FUZZ_CHECK(record.ValueText.size() <= 2 * static_cast<std::size_t>(rx.RxCount) + 32);
    }
    FUZZ_CHECK(record.RxHex.size() == 2 * static_cast<std::size_t>(std::max(rx.RxCount, 0)));
    return 0;
}
