// The port map of the environment: any text gives only ports 1..15 with a device name that has no
// separator and no blank at either end.
#include "FuzzLink.h"
#include "platform/PortResolver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    for (const auto& [port, device] : PortResolver::ParsePortMap(text)) {
        FUZZ_CHECK(port >= 1 && port <= 15);
        FUZZ_CHECK(!device.empty() && device.find(',') == std::string::npos);
        FUZZ_CHECK(device.front() != ' ' && device.back() != ' ');
    }
    return 0;
}
