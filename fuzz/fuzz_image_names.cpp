// Image names: any identification gives a name that can stand in a folder (no separator, wildcard
// or control character, not hidden) and whose flash image name parses back to its pages; any file
// name is taken apart without reading out of bounds.
#include "FuzzLink.h"
#include "memory/ImageFiles.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    InstrumentInfo info;
    info.Name = data.ConsumeRandomLengthString(40);
    info.SerialNumber = data.ConsumeRandomLengthString(20);
    info.FwVersion = data.ConsumeRandomLengthString(20);
    LocalDateTime at;
    at.year = data.ConsumeIntegralInRange<int>(1900, 2200);
    at.month = data.ConsumeIntegralInRange<int>(1, 12);
    at.day = data.ConsumeIntegralInRange<int>(1, 31);
    at.hour = data.ConsumeIntegralInRange<int>(0, 23);
    at.minute = data.ConsumeIntegralInRange<int>(0, 59);
    at.second = data.ConsumeIntegralInRange<int>(0, 59);
    const std::string base = ImageBaseName(info, at);
    FUZZ_CHECK(!base.empty() && base.front() != '.');
    for (const char c : base)
        FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F && std::string_view("/\\:*?\"<>|").find(c) == std::string_view::npos);
    const int first = data.ConsumeIntegralInRange<int>(0, 2047);
    const int last = data.ConsumeIntegralInRange<int>(first, 2047);
    const auto pages = ParseFlashImageName(FlashImageName(base, first, last));
    FUZZ_CHECK(pages && pages->first == first && pages->last == last);

    const std::string name = data.ConsumeRandomLengthString(80);
    if (const auto parsed = ParseFlashImageName(name))
        FUZZ_CHECK(parsed->first >= 0 && parsed->first <= 9999 && parsed->last >= 0 && parsed->last <= 9999);
    if (const auto device = DeviceNameOfEepromImage(name)) {
        FUZZ_CHECK(device->find('_') == std::string::npos);
        if (const auto offset = RecordCountOffset(*device))
            FUZZ_CHECK(*offset == 154 || *offset == 272);
    }
    const Bytes image = data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<std::size_t>(0, 2100));
    if (const auto count = RecordCountInImage(image, data.ConsumeIntegral<int>()))
        FUZZ_CHECK(*count >= 0 && *count <= 0xFFFF);
    return 0;
}
