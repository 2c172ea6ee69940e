#pragma once

#include <cstddef>
#include <vector>

#include "core/Bytes.h"

// Bytes a simulated device sends back, `delayS` after the last byte of the request arrived.
// `inputEnd` tells which request it answers: the number of bytes of the Receive() input up to and
// including the request's last byte.
struct SimReply {
    double delayS = 0.0;
    Bytes bytes;
    std::size_t inputEnd = 0;
};

// What sits at the far end of a simulated serial line. It knows no clock of its own: the front end
// (SimPort, PtyServer) tells it the time and the PC's line rate before handing it bytes, and puts
// its replies on the line.
class SimDevice {
public:
    virtual ~SimDevice() = default;

    virtual std::vector<SimReply> Receive(const Bytes& bytes) = 0;
    // True while a request has started but not ended.
    virtual bool ReceivingFrame() const = 0;
    // Drops a request in progress (the line went quiet in the middle of it).
    virtual void ResetReceiver() = 0;

    // Before Receive: the front end's clock (seconds) and the PC's line rate (0: not known).
    virtual void SetLine(double /*now*/, int /*hostBaud*/) {}
    // Bits one byte takes on the line now: 10 without parity, 11 with.
    virtual double BitsPerByte() const { return 10.0; }
    // The device's own line rate when it has one (0: whatever the front end was told).
    virtual int LineBaud() const { return 0; }
};
