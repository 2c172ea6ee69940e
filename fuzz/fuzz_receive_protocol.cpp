// The receive path in protocol mode: any bytes, in any pieces, are stored in order up to the
// buffer's end, and what the recogniser and the answer checks say is always consistent.
#include "FuzzLink.h"
#include "link/Answers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    FuzzLink rig(data);
    RxState& rx = rig.link.Rx;
    rx.ResetForExchange();
    Bytes all;
    while (data.remaining_bytes() > 0) {
        const Bytes piece = data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<std::size_t>(1, 700));
        all.insert(all.end(), piece.begin(), piece.end());
        rig.port.Arrive(piece);
    }
    const std::size_t kept = std::min<std::size_t>(all.size(), kRxLastIndexExchange + 1);
    FUZZ_CHECK(rx.RxCount == static_cast<int>(kept));
    FUZZ_CHECK(std::equal(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(kept), rx.RxBuffer.begin()));
    FUZZ_CHECK((rig.dialogs.messages > 0) == (all.size() > kept));

    if (IsWellFormedAnswer(rx)) {
        const Bytes& b = rx.RxBuffer;
        FUZZ_CHECK(rx.RxFrameDone && b[0] == ctl::ACK && (b[1] == ctl::SOH || b[1] == ctl::STX));
        FUZZ_CHECK(b[static_cast<std::size_t>(rx.RxCount - 1)] == ctl::EOT);
        const Bytes frame(b.begin() + 1, b.begin() + rx.RxCount - 3);
        const Bytes payload(frame.begin() + (b[1] == ctl::SOH ? 2 : 3), frame.end());
        FUZZ_CHECK(BuildFrame(payload).size() == static_cast<std::size_t>(rx.RxCount - 1) || b[1] == ctl::STX);
        FUZZ_CHECK(b[static_cast<std::size_t>(rx.RxCount - 3)] == FrameChecksum(frame));
    }
    int code = 0;
    const std::string text = GetAnswerText(rx, false, code);
    FUZZ_CHECK(code == (rx.RxFrameDone ? 0 : 3));
    GetAnswerText(rx, true, code);
    std::string message;
    for (int index = 0; index < 6; ++index) {
        const int result = DecodeAnswer(index, rx.RxBuffer, rx.RxCount, message);
        FUZZ_CHECK(result == 0 || result == 5 || result == 7 || result == 8 || result == 9);
        FUZZ_CHECK(result != 7 || message == MalformedAnswerText(rx));
    }
    return 0;
}
