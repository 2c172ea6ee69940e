#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <string>

#include "sim/SimInstrument.h"

struct PtyServerOptions {
    std::string linkPath;  // symbolic link made to point at the terminal's slave side
    bool pace = false;     // answers leave at the line rate of `baud` (10 bits a byte, 11 with parity)
    int baud = 115200;
    // Paced answers leave in slices of this long, as a USB serial adapter hands them over
    // (0: byte by byte). Every slice still leaves at the line rate.
    double sliceS = 0.001;
    // When set, every read and write on the line: "SECONDS rx|tx HEX" a line, monotonic seconds,
    // rx for the bytes the instrument received, tx for those it sent.
    std::string logPath{};
};

// Serves a simulated instrument on a pseudo-terminal, so any program can open the link path as
// its serial port. One thread: a poll loop that sleeps until input arrives, the next answer byte
// is due or Stop() is called.
class PtyServer {
public:
    PtyServer(SimDevice& instrument, PtyServerOptions options);
    ~PtyServer();  // removes the link (if it still points at our terminal) and closes the terminal
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the terminal (master in raw mode at once) and the link; a stale link is replaced,
    // any other file at the link path is left alone and refused.
    bool Start(std::string& error);
    const std::string& SlaveName() const { return slaveName_; }
    const std::string& LinkPath() const { return options_.linkPath; }

    // Serves until Stop(). False with `error` on a failure of the terminal.
    bool Run(std::string& error);
    // Serves for `seconds` of real time (or until Stop()); everything due by then has been written.
    bool RunFor(double seconds, std::string& error);
    // Makes Run() return; safe from a signal handler and from another thread.
    void Stop();
    // Called when a client closes the terminal.
    void SetOnClientClosed(std::function<void()> onClosed) { onClientClosed_ = std::move(onClosed); }

    // A frame left unfinished this long is dropped, so a client that gave up cannot block the next.
    static constexpr double kFrameGapS = 0.5;

private:
    struct Outgoing {
        double start = 0.0;
        Bytes bytes;
        std::size_t sent = 0;
    };

    bool Serve(double until, std::string& error);
    double ByteTime() const;
    void OnInput(const Bytes& bytes, double now);
    void Queue(double at, Bytes bytes);
    bool WriteDue(double now, std::string& error);
    double NextDue() const;
    bool ReadInput(double now, std::string& error);
    void DrainWatch();
    void ClientClosed();
    void CloseAll();
    void LogBytes(double at, const char* direction, const std::uint8_t* bytes, std::size_t count);

    int HostBaud() const;

    SimDevice& instrument_;
    std::function<void()> onClientClosed_;
    PtyServerOptions options_;
    std::string slaveName_;
    int master_ = -1;
    int slave_ = -1;  // held open so the master never sees a hang-up between clients
    int watch_ = -1;  // inotify: a client closing the slave
    int stopRead_ = -1;
    int stopWrite_ = -1;
    bool linkMade_ = false;

    std::deque<Outgoing> outgoing_;
    std::FILE* log_ = nullptr;
    bool blocked_ = false;  // the terminal took no more; wait until it does
    double lastStart_ = 0.0;
    double outFreeAt_ = 0.0;
    double inFreeAt_ = 0.0;
    double lastInput_ = 0.0;
};
