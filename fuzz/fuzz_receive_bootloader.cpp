// The receive path in bootloader mode, direct and tunnelled, with exchanges of the instrument
// protocol in between: the area never overflows and the acknowledge follows its rule.
#include "FuzzLink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    FuzzLink rig(data);
    SerialLink& link = rig.link;
    while (data.remaining_bytes() > 0) {
        const auto step = data.ConsumeIntegral<std::uint8_t>();
        if (step % 8 == 0) {
            link.SendFrame({'I'}, 0.2);  // switches bootloader mode off
            FUZZ_CHECK(!link.BootMode);
            continue;
        }
        if (step % 8 == 1 || !link.BootMode) {
            link.BootMode = true;
            link.BootAck = false;
            link.Boot.Tunnel = (step & 0x10) != 0;
            link.Boot.BootRxCount = 0;
        }
        const int before = link.Boot.BootRxCount;
        const Bytes piece = data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<std::size_t>(1, 400));
        rig.port.Arrive(piece);
        const int count = link.Boot.BootRxCount;
        FUZZ_CHECK(count >= 0 && count <= kBootRxLastIndex + 1);
        FUZZ_CHECK(count == std::min<int>(before + static_cast<int>(piece.size()), kBootRxLastIndex + 1));
        if (link.BootAck) {
            const auto& area = link.Boot.BootRxBuffer;
            const std::size_t marker = link.Boot.Tunnel ? 1 : 0;
            FUZZ_CHECK(count >= (link.Boot.Tunnel ? 3 : 2) && area[marker] == 0x79);
        }
    }
    return 0;
}
