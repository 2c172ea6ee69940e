#include "link/Answers.h"

#include <algorithm>

#include "core/ResultCodes.h"
#include "link/Frames.h"

int DecodeAnswer(int index, const Bytes& buffer, int count, std::string& message)
{
    const int usable = std::clamp(count, 0, static_cast<int>(buffer.size()));
    const auto malformed = [&] {
        message = "Error (Rx: " + BytesToHex(buffer, static_cast<std::size_t>(usable)) + ")";
        return code::kMalformed;
    };
    if (index < 0 || count < index + 3 || index >= usable)
        return malformed();
    switch (buffer[static_cast<std::size_t>(index)]) {
    case ctl::ACK:
    case '0':
        message = "OK";
        return code::kOk;
    case ctl::NAK:
        message = "NAK";
        return code::kNak;
    case '1':
        message = "NO OK !!";
        return code::kNotOk;
    case '2':
        message = "Busy ...";
        return code::kBusy;
    case '3':
        message = "No Valid block";
        return code::kOk;
    default:
        return malformed();
    }
}

bool IsWellFormedAnswer(const RxState& rx)
{
    const Bytes& b = rx.RxBuffer;
    const int count = rx.RxCount;
    if (!rx.RxFrameDone || count < 6 || count > static_cast<int>(b.size()))
        return false;
    if (b[0] != ctl::ACK || (b[1] != ctl::SOH && b[1] != ctl::STX))
        return false;
    const bool longFrame = b[1] == ctl::STX;
    if (longFrame && count < 7)
        return false;
    const int len = longFrame ? b[2] * 256 + b[3] : b[2];
    if (count != len + 2)
        return false;
    const auto last = static_cast<std::size_t>(count - 1);
    if (b[last] != ctl::EOT || b[last - 1] != ctl::LF)
        return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < last; ++i)
        sum += b[i];
    return sum % 256 == 0;
}

bool IsWellFormedAnswer(const RxState& rx, std::uint8_t startByte)
{
    return IsWellFormedAnswer(rx) && rx.RxBuffer[1] == startByte;
}

std::string MalformedAnswerText(const RxState& rx)
{
    const int usable = std::clamp(rx.RxCount, 0, static_cast<int>(rx.RxBuffer.size()));
    return "Error (Rx: " + BytesToHex(rx.RxBuffer, static_cast<std::size_t>(usable)) + ")";
}

std::string GetAnswerText(const RxState& rx, bool numeric, int& code)
{
    if (!rx.RxFrameDone) {
        code = code::kNoFrame;
        return {};
    }
    code = code::kOk;
    const Bytes& buffer = rx.RxBuffer;
    if (numeric)
        return buffer.size() > 3 ? std::to_string(buffer[3]) : std::string("0");
    // Short answer: payload at 3..LEN-2; the text is LEN - 5 characters from index 4.
    const int len = buffer.size() > 2 ? buffer[2] : 0;
    const int length = std::max(0, len - 5);
    return BytesToText(buffer, 4, static_cast<std::size_t>(length));
}
