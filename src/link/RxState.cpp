#include "link/RxState.h"

#include "link/Frames.h"

void RxState::ResetForExchange()
{
    RxFrameDone = false;
    RxExpected = 0;
    RxCount = 0;
    RxAck = 0;
    RxLongFrame = false;
    RxBuffer.assign(kRxLastIndexExchange + 1, 0);
}

bool RxState::Accept(std::uint8_t byte)
{
    if (RxCount < 0 || RxCount >= static_cast<int>(RxBuffer.size()))
        return false;
    RxBuffer[static_cast<std::size_t>(RxCount)] = byte;
    ++RxCount;

    switch (RxExpected) {
    case 0:
        if (byte == ctl::ACK || byte == ctl::NAK) {
            RxAck = byte;
        } else if (byte == ctl::SOH) {
            RxExpected = 1;
            RxLongFrame = false;
        } else if (byte == ctl::STX) {
            RxExpected = 1;
            RxLongFrame = true;
        }
        break;
    case 1:
        if (RxLongFrame)
            RxExpected = 2;
        else
            RxExpected = RxCount + byte - 1;
        break;
    case 2: {
        const int len = RxBuffer[static_cast<std::size_t>(RxCount - 2)] * 256 + byte;
        RxExpected = len + 2;
        break;
    }
    default:
        if (RxCount == RxExpected && byte == ctl::EOT)
            RxFrameDone = true;
        break;
    }
    return true;
}
