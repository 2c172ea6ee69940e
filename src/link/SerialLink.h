#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/Bytes.h"
#include "core/Dialogs.h"
#include "core/Host.h"
#include "core/SerialPort.h"
#include "link/BootReply.h"
#include "link/RxState.h"

// Waits of the link, in seconds.
constexpr double kAckWaitS = 0.4;
constexpr double kAnswerWaitS = 1.0;
constexpr double kInitRawModePauseS = 0.05;
constexpr double kInitSettlePauseS = 0.2;
// After an exchange left without its complete answer, a late answer may still be on its way: the
// next request waits until the line has been quiet this long (at most kLateAnswerDrainMaxS), so a
// late answer is never taken for the answer to the next request.
constexpr double kLateAnswerQuietS = 1.0;
constexpr double kLateAnswerDrainMaxS = 5.0;

// The one serial port of the program, its receive path and the framed exchange.
class SerialLink {
public:
    SerialLink(SerialPort& port, Host& host, Dialogs& dialogs);
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;
    ~SerialLink();

    // Port and speed every operation opens the port with.
    int CommPortNumber = 1;
    std::string BaudText = "115200";

    RxState Rx;
    // The bootloader client's: while `BootMode` is on, received bytes go to `Boot` instead of the
    // answer recogniser, and `BootAck` is set when a reply looks complete.
    bool BootMode = false;
    bool BootAck = false;
    BootReplyArea Boot;

    // Opens the port at "<baud>,N,8,1": 0, 21 on a general error, 1000 when the port does not exist.
    int InitSeriale(int portNumber, const std::string& baudText);
    // Same, with the given line settings text (the bootloader opens with even parity).
    int OpenWithSettings(int portNumber, const std::string& lineSettings);
    void CloseSeriale();
    // Opens the port with the number and line settings already set, unless it is open; remembers
    // why it failed (LastOpenError). Shows no message.
    PortOpenResult OpenAsSetUp();
    // Opens and closes the port; true when that worked. Shows no message (LastOpenError says why).
    bool TryOpenPort(int portNumber);
    bool IsOpen() const { return port_.IsOpen(); }
    // Why the last open failed. A port refused for lack of permission adds a hint to its message.
    const PortOpenResult& LastOpenError() const { return lastOpenError_; }

    // Waits that long, delivering events meanwhile.
    void Delay(double seconds);

    // Waits until the condition holds or the time has passed; true when it held. The condition is
    // checked again after every event the host delivers.
    template <typename Condition>
    bool WaitFor(double seconds, Condition condition)
    {
        const double deadline = host_.Now() + seconds;
        while (!condition()) {
            if (host_.Quitting() || host_.Now() >= deadline)
                return false;
            host_.Yield(deadline);
        }
        return true;
    }

    // One exchange, one attempt: the payload goes out in a frame, then the ACK is awaited for 0.4 s
    // and, after an ACK and unless `noAnswerFrame`, the answer frame for `answerWaitS`.
    // Returns the count of bytes received. Once the program is quitting nothing goes out: the
    // exchange ends unanswered.
    int SendFrame(const Bytes& payload, double answerWaitS, bool noAnswerFrame = false);

    // Writes raw bytes (bootloader frames); false when the port refused them or the program is
    // quitting (nothing is written then).
    bool WriteRaw(const Bytes& bytes);

    // The port's receive event.
    void OnReceive();

    Host& host() { return host_; }
    Dialogs& dialogs() { return dialogs_; }
    SerialPort& port() { return port_; }

private:
    // The port is open and the program is not quitting: a closed window sends nothing more.
    bool CanSend() const;
    // What waited for the line to be busy is done first: no request follows.
    void ClosePort();
    void ReceiveWaitingBytes();
    // Drops every byte until the line has been quiet for kLateAnswerQuietS (bounded).
    void DiscardLateAnswer();
    void DiscardWaitingInput();
    bool StoreBootByte(std::uint8_t byte);
    void ReportOverrun(const std::string& dump);

    SerialPort& port_;
    Host& host_;
    Dialogs& dialogs_;
    PortOpenResult lastOpenError_;
    bool overrunReported_ = false;
    bool answerIncomplete_ = false;  // the last exchange ended without its complete answer
    bool discarding_ = false;        // received bytes are dropped, not stored
    double lastLineActivity_ = 0.0;  // last byte received, or the end of an incomplete exchange
};
