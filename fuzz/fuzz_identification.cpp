// Identification answers of any bytes and any claimed count: the fields never read past the
// answer, and they hold at most their number of characters.
#include "FuzzLink.h"
#include "link/Identification.h"

namespace {

std::size_t Characters(const std::string& utf8)
{
    std::size_t n = 0;
    for (const char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const int count = data.ConsumeIntegralInRange<int>(-5, 400);
    const Bytes buffer = data.ConsumeRemainingBytes<std::uint8_t>();
    InstrumentInfo info;
    FUZZ_CHECK(ParseInfoAnswer(buffer, count, info) == 0);
    FUZZ_CHECK(Characters(info.Name) <= 8 && Characters(info.SerialNumber) <= 8);
    FUZZ_CHECK(Characters(info.FwVersion) <= 5 && Characters(info.FwDetail) <= 7);
    FUZZ_CHECK(TextToLatin1(info.Name) && TextToLatin1(info.FwVersion) && TextToLatin1(info.FwDetail));
    if (count <= 22)
        FUZZ_CHECK(info.FwVersion.empty() && info.FwDetail.empty());
    return 0;
}
