#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/Bytes.h"
#include "params/ParamCatalogue.h"
#include "sim/SimDevice.h"
#include "sim/SimWifiModule.h"

constexpr int kSimEepromSize = 2000;
constexpr int kSimFlashPages = 2048;
constexpr int kSimFlashPageSize = 4096;
constexpr std::uint32_t kSimFlashSize = static_cast<std::uint32_t>(kSimFlashPages) * kSimFlashPageSize;
// Largest request payload the instrument takes (a flash block write carries 1030 bytes).
constexpr std::size_t kSimMaxRequestPayload = 2048;

enum class SimFault {
    Silence,           // no answer at all; the command is not carried out
    Nak,               // NAK instead of the answer; not carried out
    Busy,              // status answer '2'; not carried out
    NotOk,             // status answer '1'; not carried out
    NakStatus,         // status answer NAK (0x15) in a whole frame; not carried out
    GarbageBeforeAck,  // `bytes` (default FF 55) sent before the answer
    MissingEot,        // the answer's last byte (EOT) altered
    Truncated,         // only the first `length` bytes of the answer (0: half of it)
    OverLong,          // the frame stretched to a long frame of `length` bytes in all (0: 5100)
    Slow,              // the whole answer, ACK included, `delayS` later
    SlowFrame,         // the ACK on time, the answer frame `delayS` later
    Scripted,          // the answer replaced by `bytes`; the command is carried out
};

constexpr int kSimForever = -1;

// When and how the instrument misbehaves. A rule matches a request by its command byte (the first
// payload byte) and optionally by its target (flash address, EEPROM address, parameter index,
// Wi-Fi register or sub-command). It lets `after` matching requests through, then strikes `times`
// times (kSimForever: every time).
struct SimFaultRule {
    SimFault fault = SimFault::Silence;
    std::vector<std::uint8_t> commands;  // empty: every command
    std::optional<std::uint32_t> targetFrom;
    std::optional<std::uint32_t> targetTo;
    int after = 0;
    int times = kSimForever;
    double delayS = 1.5;
    std::size_t length = 0;
    Bytes bytes{0xFF, 0x55};

    static SimFaultRule Any(SimFault fault);
    static SimFaultRule Command(std::uint8_t command, SimFault fault);
    // Every block read or write (0xE5, 0xE6) of flash page `page`.
    static SimFaultRule FlashPage(int page, SimFault fault);
    // EEPROM block reads and writes ('e') at exactly `address`.
    static SimFaultRule EepromBlock(int address, SimFault fault);
    // Reads and writes ('1', '0') of Wi-Fi register `n`.
    static SimFaultRule WifiRegister(int n, SimFault fault);

    SimFaultRule& After(int n) { after = n; return *this; }
    SimFaultRule& Times(int n) { times = n; return *this; }
    SimFaultRule& Delay(double s) { delayS = s; return *this; }
    SimFaultRule& Length(std::size_t n) { length = n; return *this; }
    SimFaultRule& WithBytes(Bytes b) { bytes = std::move(b); return *this; }
    SimFaultRule& Target(std::uint32_t from, std::uint32_t to) { targetFrom = from; targetTo = to; return *this; }
};

struct SimIdentity {
    std::string name = "VRTA708";
    std::string serial = "00001234";
    // Version text of the identification answer: "1.05" then the board and build fields, so the
    // answer is 36 bytes long and reads as firmware 1.05, detail "0314".
    std::string versionText = "1.051.02  0314";
};

// An answer to a command the firmware itself does not serve (the boards' pass-through commands).
struct SimHookAnswer {
    Bytes lead{0x06};
    std::optional<Bytes> frame;   // payload of the answer frame
    std::vector<SimReply> after;  // further bytes, delays counted from the request's end
};
using SimCommandHook = std::function<std::optional<SimHookAnswer>(const Bytes& payload)>;

// The instrument's firmware as the PC sees it through its framed command protocol. It knows no
// time: Receive() takes bytes as they come off the line and tells what goes back and how long
// after each request; the front ends (SimPort, PtyServer) put that on a clock.
//
// One write the instrument carried out into its memory.
struct SimMemoryWrite {
    enum class Memory { Eeprom, Flash };
    Memory memory = Memory::Eeprom;
    std::uint32_t address = 0;
    std::size_t length = 0;

    bool operator==(const SimMemoryWrite&) const = default;
};

// Which parameter a model's firmware keeps its stored-record count in (the simulator's own
// knowledge of the instruments, written apart from the tool's model table).
bool SimCountsInParam26(const std::string& name);
bool SimCountsInParam146(const std::string& name);

class SimInstrument : public SimDevice {
public:
    explicit SimInstrument(SimIdentity identity = {});

    std::vector<SimReply> Receive(const Bytes& bytes) override;
    // True while a frame has started but not ended.
    bool ReceivingFrame() const override { return !frame_.empty(); }
    // Drops a frame in progress (the line went quiet in the middle of it).
    void ResetReceiver() override;
    // Serves commands the firmware does not know; a hook that answers nothing leaves them NAKed.
    void SetCommandHook(SimCommandHook hook) { hook_ = std::move(hook); }

    // --- identity
    const SimIdentity& Identity() const { return identity_; }
    void SetIdentity(SimIdentity identity) { identity_ = std::move(identity); }

    // --- EEPROM, 2000 bytes
    static std::uint8_t EepromPattern(int address);
    const Bytes& Eeprom() const { return eeprom_; }
    void WriteEeprom(int address, const Bytes& data);  // bytes beyond the end are ignored

    // --- data flash, 2048 pages of 4096 bytes; pages never written read as FlashPattern
    static std::uint8_t FlashPattern(std::uint32_t address);
    Bytes ReadFlash(std::uint32_t address, std::size_t length) const;  // clipped at the end
    void WriteFlash(std::uint32_t address, const Bytes& data);         // clipped at the end
    bool FlashPageWritten(int page) const { return flash_.count(static_cast<std::uint32_t>(page)) != 0; }
    std::size_t FlashPagesWritten() const { return flash_.size(); }

    // --- parameters: unsigned decimal texts by index; an index never written reads "0"
    std::string Param(int index) const;
    void SetParam(int index, std::string text) { params_[index] = std::move(text); }
    // Reads of `index` answer `text` whatever was stored.
    void SetParamReadBackOverride(int index, std::string text) { readBack_[index] = std::move(text); }
    void ClearParamReadBackOverride(int index) { readBack_.erase(index); }
    // The stored-record count: parameter 26 or 146 by device name (QSLUM group or VRTA group) and
    // its copy in the EEPROM (16 bits, low byte first, at 154 or 272). Other names: both
    // parameters, no EEPROM copy.
    void SetRecordCount(int count);
    int Commits() const { return commits_; }
    // Parameter widths of a family ("31400 QMX, VERTA", "31420 QS-LUMPROB"): a written value keeps
    // only that many bytes. Without a family every written text is kept as it came.
    void SetParamFamily(const std::string& familyEntry);

    // --- Wi-Fi module
    bool WifiModuleOn() const { return wifi_.On(); }
    const Bytes* WifiRegister(int number) const { return wifi_.Register(number); }
    SimWifiModule& Wifi() { return wifi_; }
    const SimWifiModule& Wifi() const { return wifi_; }
    // How long switching the module on takes before the answer frame (the ACK comes at once).
    void SetWifiSwitchOnDelay(double s) { wifiSwitchOnDelayS_ = s; }

    // --- timing: delay from a request's last byte to its answer
    void SetAnswerDelay(double s) { answerDelayS_ = s; }
    double AnswerDelay() const { return answerDelayS_; }

    // --- fault injection; returns the rule's id
    int AddFault(SimFaultRule rule);
    void ClearFaults() { rules_.clear(); }
    int FaultStrikes(int id) const;

    // --- what came in: the payload of every well-formed request, in order (faulted ones included)
    const std::vector<Bytes>& Requests() const { return requests_; }
    std::size_t CountRequests(std::uint8_t command) const;
    // Every EEPROM and flash write command carried out, in order (refused ones are not).
    const std::vector<SimMemoryWrite>& MemoryWrites() const { return memoryWrites_; }
    int BadFrames() const { return badFrames_; }            // checksum, LF or EOT wrong: answered NAK
    std::size_t DiscardedBytes() const { return discarded_; }  // bytes outside any frame
    void ClearRecord();

    // Target of a request as fault rules match it (see SimFaultRule); nothing for other commands.
    static std::optional<std::uint32_t> RequestTarget(const Bytes& payload);

private:
    struct Answer {
        Bytes lead;                      // ACK or NAK
        std::optional<Bytes> frame;      // payload of the answer frame
        double frameGapS = 0.0;          // the frame follows the lead this much later
    };
    struct RuleState {
        SimFaultRule rule;
        int matched = 0;
        int strikes = 0;
    };

    void Push(std::uint8_t byte, std::size_t inputEnd, std::vector<SimReply>& replies);
    void FrameComplete(std::size_t inputEnd, std::vector<SimReply>& replies);
    std::vector<SimReply> Handle(const Bytes& payload);
    Answer Execute(const Bytes& payload);
    Answer StatusAnswer(std::uint8_t status) const;
    Answer Refusal(const Bytes& payload, std::uint8_t status) const;
    Answer DataAnswer(Bytes payload) const;
    Answer Identification() const;
    Answer ReadParamAnswer(const Bytes& p) const;
    Answer WriteParamAnswer(const Bytes& p);
    std::string StoredParamText(int index, const std::string& digits) const;
    Answer EepromAnswer(const Bytes& p);
    Answer FlashReadAnswer(const Bytes& p) const;
    Answer FlashWriteAnswer(const Bytes& p);
    Answer WifiReadAnswer(const Bytes& p) const;
    Answer WifiWriteAnswer(const Bytes& p);
    Answer WifiCommandAnswer(const Bytes& p);

    SimIdentity identity_;
    Bytes eeprom_;
    std::unordered_map<std::uint32_t, Bytes> flash_;  // page -> 4096 bytes
    std::map<int, std::string> params_;
    std::map<int, std::string> readBack_;
    ParamCatalogue widths_;
    bool familyLoaded_ = false;
    SimWifiModule wifi_;
    double wifiSwitchOnDelayS_ = 2.0;
    double answerDelayS_ = 0.001;
    int commits_ = 0;

    std::vector<RuleState> rules_;
    SimCommandHook hook_;
    std::vector<SimReply> hookAfter_;  // what follows the hook's answer to the request in hand

    Bytes frame_;               // frame being received
    std::size_t frameLength_ = 0;  // total bytes of it, once its LEN is known
    std::vector<Bytes> requests_;
    std::vector<SimMemoryWrite> memoryWrites_;
    int badFrames_ = 0;
    std::size_t discarded_ = 0;
};
