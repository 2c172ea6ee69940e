#include "link/Frames.h"

std::uint8_t FrameChecksum(const Bytes& bytes)
{
    unsigned sum = ctl::LF;
    for (const auto b : bytes)
        sum += b;
    return static_cast<std::uint8_t>((256 - (sum % 256)) % 256);
}

static Bytes Finish(Bytes frame)
{
    frame.push_back(FrameChecksum(frame));
    frame.push_back(ctl::LF);
    frame.push_back(ctl::EOT);
    return frame;
}

Bytes BuildShortFrame(const Bytes& payload)
{
    Bytes frame{ctl::SOH, static_cast<std::uint8_t>(payload.size() + 4)};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return Finish(std::move(frame));
}

Bytes BuildLongFrame(const Bytes& payload)
{
    const std::size_t len = payload.size() + 5;
    Bytes frame{ctl::STX, static_cast<std::uint8_t>(len >> 8), static_cast<std::uint8_t>(len & 0xFF)};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return Finish(std::move(frame));
}

Bytes BuildFrame(const Bytes& payload)
{
    return payload.size() <= kMaxShortPayload ? BuildShortFrame(payload) : BuildLongFrame(payload);
}
