#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/SerialPort.h"
#include "sim/Scheduler.h"
#include "sim/SimInstrument.h"

// Seconds one byte takes on a line of these settings ("115200,N,8,1": start bit, data bits,
// parity bit unless "N", stop bits); 0 when the baud is missing or not a number.
double SimByteTime(const std::string& lineSettings);

// The baud of line settings such as "57600,E,8,1"; 0 when it is missing or not a number.
int SimBaud(const std::string& lineSettings);

// A serial port wired to a simulated instrument on a scheduler's clock. Writes reach the
// instrument at once; its answers are delivered later through the receive handler.
class SimPort : public SerialPort {
public:
    SimPort(SimDevice& instrument, Scheduler& scheduler);
    ~SimPort() override;
    SimPort(const SimPort&) = delete;
    SimPort& operator=(const SimPort&) = delete;

    // --- SerialPort
    void SetPortNumber(int number) override { number_ = number; }
    int PortNumber() const override { return number_; }
    void SetLineSettings(const std::string& settings) override { settings_ = settings; }
    std::string LineSettings() const override { return settings_; }
    PortOpenResult Open() override;
    void Close() override;
    bool IsOpen() const override { return open_; }
    std::size_t BytesWaiting() const override { return received_.size(); }
    bool ReadByte(std::uint8_t& byte) override;
    bool Write(const Bytes& bytes) override;
    void SetReceiveHandler(std::function<void()> handler) override { handler_ = std::move(handler); }
    std::string DeviceOf(int number) const override;

    // --- the simulated machine
    void SetExistingPorts(std::set<int> numbers) { existing_ = std::move(numbers); }
    // A busy port exists but cannot be opened (another program holds it).
    void SetBusy(int number, bool busy);
    // A port this user may not open (EACCES), its device owned by `group` ("" when unreadable).
    void SetAccessDenied(int number, const std::string& group);
    // What DeviceOf names a port ("simulated instrument" unless set).
    void SetDeviceName(int number, const std::string& device) { devices_[number] = device; }
    // With pacing, bytes take their line time in both directions (SimByteTime of the line
    // settings): a request must finish arriving before it is answered, and answers arrive byte by
    // byte. Without, answers arrive `latency` after the instrument sends them, in a few chunks.
    void SetPacing(bool pacing) { pacing_ = pacing; }
    void SetLatency(double s) { latencyS_ = s; }
    // Puts bytes on the line towards the PC `delayS` from now, as if the instrument sent them.
    void Inject(double delayS, const Bytes& bytes);

    // --- what happened
    const std::vector<Bytes>& Writes() const { return writes_; }  // every Write() while open
    Bytes Written() const;                                        // all of them joined
    int Opens() const { return opens_; }
    std::size_t PendingDeliveries() const { return outgoing_.size(); }

    static constexpr std::size_t kChunk = 256;
    static constexpr double kDefaultLatencyS = 0.0005;
    static constexpr int kBusyErrorNumber = 2;
    static constexpr int kNotFoundErrorNumber = 1;

private:
    struct Outgoing {
        double start = 0.0;     // when the first byte starts arriving (paced) or arrives
        double byteTime = 0.0;  // 0: unpaced
        Bytes bytes;
        std::size_t sent = 0;
    };

    double ByteTime() const { return pacing_ ? SimByteTime(settings_) : 0.0; }
    void Queue(double at, Bytes bytes);
    void ScheduleNext();
    void Deliver(std::uint64_t generation);

    SimDevice& instrument_;
    Scheduler& scheduler_;
    std::function<void()> handler_;
    int number_ = 1;
    std::string settings_ = "115200,N,8,1";
    bool open_ = false;
    std::set<int> existing_{1};
    std::set<int> busy_;
    std::map<int, std::string> denied_;  // port -> group of its device
    std::map<int, std::string> devices_;
    bool pacing_ = false;
    double latencyS_ = kDefaultLatencyS;

    std::deque<std::uint8_t> received_;
    std::deque<Outgoing> outgoing_;
    double lastStart_ = 0.0;   // answers leave in order
    double txFreeAt_ = 0.0;    // PC -> instrument line busy until
    double rxFreeAt_ = 0.0;    // instrument -> PC line busy until
    bool eventPending_ = false;
    std::uint64_t generation_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

    std::vector<Bytes> writes_;
    int opens_ = 0;
};
