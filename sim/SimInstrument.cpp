#include "sim/SimInstrument.h"

#include <algorithm>
#include <utility>

#include "link/Frames.h"

namespace {

constexpr std::size_t kNameLength = 8;
constexpr std::size_t kSerialLength = 8;
constexpr int kEepromReadBlock = 100;
constexpr std::size_t kEepromMaxWrite = 146;
constexpr std::size_t kFlashMaxBlock = 1024;
constexpr std::size_t kParamMaxDigits = 13;
constexpr std::size_t kOverLongDefault = 5100;
constexpr std::uint8_t kOverLongFiller = 0xA5;
constexpr std::uint8_t kBrokenEot = 0x00;

constexpr std::uint8_t kStatusOk = '0';
constexpr std::uint8_t kStatusNotOk = '1';
constexpr std::uint8_t kStatusBusy = '2';

Bytes Latin1(const std::string& text)
{
    if (auto bytes = TextToLatin1(text))
        return *bytes;
    return Bytes(text.begin(), text.end());
}

Bytes Field(const std::string& text, std::size_t length)
{
    Bytes bytes = Latin1(text);
    bytes.resize(length, ' ');
    return bytes;
}

unsigned Be16(const Bytes& p, std::size_t at)
{
    return (static_cast<unsigned>(p[at]) << 8) | p[at + 1];
}

unsigned Be24(const Bytes& p, std::size_t at)
{
    return (static_cast<unsigned>(p[at]) << 16) | (static_cast<unsigned>(p[at + 1]) << 8) | p[at + 2];
}

bool Refuses(SimFault fault)
{
    return fault == SimFault::Silence || fault == SimFault::Nak || fault == SimFault::Busy ||
           fault == SimFault::NotOk || fault == SimFault::NakStatus;
}

}  // namespace

// ---------------------------------------------------------------- fault rules

SimFaultRule SimFaultRule::Any(SimFault fault)
{
    SimFaultRule rule;
    rule.fault = fault;
    return rule;
}

SimFaultRule SimFaultRule::Command(std::uint8_t command, SimFault fault)
{
    SimFaultRule rule = Any(fault);
    rule.commands = {command};
    return rule;
}

SimFaultRule SimFaultRule::FlashPage(int page, SimFault fault)
{
    SimFaultRule rule = Any(fault);
    rule.commands = {0xE5, 0xE6};
    const auto first = static_cast<std::uint32_t>(std::max(page, 0)) * kSimFlashPageSize;
    return rule.Target(first, first + kSimFlashPageSize - 1);
}

SimFaultRule SimFaultRule::EepromBlock(int address, SimFault fault)
{
    SimFaultRule rule = Any(fault);
    rule.commands = {'e'};
    const auto at = static_cast<std::uint32_t>(std::max(address, 0));
    return rule.Target(at, at);
}

SimFaultRule SimFaultRule::WifiRegister(int n, SimFault fault)
{
    SimFaultRule rule = Any(fault);
    rule.commands = {'0', '1'};
    const auto at = static_cast<std::uint32_t>(std::max(n, 0));
    return rule.Target(at, at);
}

// ---------------------------------------------------------------- state

SimInstrument::SimInstrument(SimIdentity identity) : identity_(std::move(identity)), eeprom_(kSimEepromSize)
{
    for (int a = 0; a < kSimEepromSize; ++a)
        eeprom_[static_cast<std::size_t>(a)] = EepromPattern(a);
    params_[0] = "1234";
    params_[26] = "10";
    params_[146] = "10";
}

std::uint8_t SimInstrument::EepromPattern(int address)
{
    return static_cast<std::uint8_t>((address * 7 + (address >> 8) + 1) & 0xFF);
}

std::uint8_t SimInstrument::FlashPattern(std::uint32_t address)
{
    const std::uint32_t low = address & 0xFF;
    const std::uint32_t mid = (address >> 8) & 0xFF;
    const std::uint32_t high = (address >> 16) & 0xFF;
    return static_cast<std::uint8_t>((low ^ (mid * 31) ^ (high * 97)) & 0xFF);
}

void SimInstrument::WriteEeprom(int address, const Bytes& data)
{
    for (std::size_t i = 0; i < data.size(); ++i) {
        const long a = static_cast<long>(address) + static_cast<long>(i);
        if (a >= 0 && a < kSimEepromSize)
            eeprom_[static_cast<std::size_t>(a)] = data[i];
    }
}

Bytes SimInstrument::ReadFlash(std::uint32_t address, std::size_t length) const
{
    Bytes out;
    if (address >= kSimFlashSize)
        return out;
    length = std::min<std::size_t>(length, kSimFlashSize - address);
    out.reserve(length);
    std::uint32_t a = address;
    while (out.size() < length) {
        const std::uint32_t page = a / kSimFlashPageSize;
        const std::uint32_t offset = a % kSimFlashPageSize;
        const std::size_t n = std::min<std::size_t>(length - out.size(), kSimFlashPageSize - offset);
        const auto it = flash_.find(page);
        for (std::size_t i = 0; i < n; ++i)
            out.push_back(it != flash_.end() ? it->second[offset + i] : FlashPattern(a + static_cast<std::uint32_t>(i)));
        a += static_cast<std::uint32_t>(n);
    }
    return out;
}

void SimInstrument::WriteFlash(std::uint32_t address, const Bytes& data)
{
    if (address >= kSimFlashSize)
        return;
    const std::size_t length = std::min<std::size_t>(data.size(), kSimFlashSize - address);
    std::size_t done = 0;
    while (done < length) {
        const std::uint32_t a = address + static_cast<std::uint32_t>(done);
        const std::uint32_t page = a / kSimFlashPageSize;
        const std::uint32_t offset = a % kSimFlashPageSize;
        const std::size_t n = std::min<std::size_t>(length - done, kSimFlashPageSize - offset);
        auto it = flash_.find(page);
        if (it == flash_.end())
            it = flash_.emplace(page, ReadFlash(page * kSimFlashPageSize, kSimFlashPageSize)).first;
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(done), n, it->second.begin() + offset);
        done += n;
    }
}

std::string SimInstrument::Param(int index) const
{
    const auto it = params_.find(index);
    return it == params_.end() ? std::string("0") : it->second;
}

bool SimCountsInParam26(const std::string& name)
{
    return name == "QSLUM" || name == "QS408t" || name == "QSVRFMAX";
}

bool SimCountsInParam146(const std::string& name)
{
    static const char* const names[] = {"QMX-ARN", "BRSKCHK", "VRTA708", "VRTA709", "VRTA710",
                                        "VRTA611", "ULTVRTS", "QMX-ARN+", "GRP4917"};
    for (const char* known : names)
        if (name == known)
            return true;
    return false;
}

void SimInstrument::SetRecordCount(int count)
{
    const std::string name = Trim(identity_.name);
    const std::string text = std::to_string(count);
    const Bytes copy{static_cast<std::uint8_t>(count & 0xFF), static_cast<std::uint8_t>((count >> 8) & 0xFF)};
    if (SimCountsInParam26(name)) {
        params_[26] = text;
        if (name == "QSLUM" || name == "QS408t")
            WriteEeprom(154, copy);
    } else if (SimCountsInParam146(name)) {
        params_[146] = text;
        WriteEeprom(272, copy);
    } else {
        params_[26] = text;
        params_[146] = text;
    }
}

int SimInstrument::AddFault(SimFaultRule rule)
{
    rules_.push_back({std::move(rule), 0, 0});
    return static_cast<int>(rules_.size()) - 1;
}

int SimInstrument::FaultStrikes(int id) const
{
    if (id < 0 || id >= static_cast<int>(rules_.size()))
        return 0;
    return rules_[static_cast<std::size_t>(id)].strikes;
}

std::size_t SimInstrument::CountRequests(std::uint8_t command) const
{
    return static_cast<std::size_t>(std::count_if(requests_.begin(), requests_.end(),
                                                  [command](const Bytes& p) { return p[0] == command; }));
}

void SimInstrument::ClearRecord()
{
    requests_.clear();
    memoryWrites_.clear();
    badFrames_ = 0;
    discarded_ = 0;
}

std::optional<std::uint32_t> SimInstrument::RequestTarget(const Bytes& p)
{
    if (p.empty())
        return std::nullopt;
    switch (p[0]) {
    case 0xE5:
    case 0xE6:
        if (p.size() >= 4)
            return Be24(p, 1);
        break;
    case 'e':
        if (p.size() >= 5)
            return Be16(p, 3);
        break;
    case 'l':
    case 'i':
        if (p.size() >= 3)
            return Be16(p, 1);
        break;
    case '0':
    case '1':
    case '2':
        if (p.size() >= 2)
            return p[1];
        break;
    default:
        break;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- receiving

std::vector<SimReply> SimInstrument::Receive(const Bytes& bytes)
{
    std::vector<SimReply> replies;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        Push(bytes[i], i + 1, replies);
    return replies;
}

void SimInstrument::ResetReceiver()
{
    discarded_ += frame_.size();
    frame_.clear();
    frameLength_ = 0;
}

void SimInstrument::Push(std::uint8_t byte, std::size_t inputEnd, std::vector<SimReply>& replies)
{
    if (frame_.empty()) {
        if (byte == ctl::SOH || byte == ctl::STX) {
            frame_.push_back(byte);
            frameLength_ = 0;
        } else {
            ++discarded_;
        }
        return;
    }
    frame_.push_back(byte);
    if (frameLength_ == 0) {
        std::size_t len = 0;
        if (frame_[0] == ctl::SOH && frame_.size() == 2)
            len = byte;
        else if (frame_[0] == ctl::STX && frame_.size() == 3)
            len = Be16(frame_, 1);
        else
            return;
        const std::size_t overhead = frame_[0] == ctl::SOH ? 4 : 5;
        if (len < overhead || len > kSimMaxRequestPayload + overhead) {
            // Not a frame after all: drop its start byte and look again at what followed it.
            const Bytes rest(frame_.begin() + 1, frame_.end());
            ++discarded_;
            frame_.clear();
            for (const auto b : rest)
                Push(b, inputEnd, replies);
            return;
        }
        frameLength_ = len + 1;
    }
    if (frame_.size() == frameLength_)
        FrameComplete(inputEnd, replies);
}

void SimInstrument::FrameComplete(std::size_t inputEnd, std::vector<SimReply>& replies)
{
    const Bytes frame = std::move(frame_);
    frame_.clear();
    frameLength_ = 0;

    const std::size_t n = frame.size();
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < n; ++i)
        sum += frame[i];
    const bool intact = frame[n - 1] == ctl::EOT && frame[n - 2] == ctl::LF && sum % 256 == 0;
    const std::size_t start = frame[0] == ctl::SOH ? 2 : 3;
    const Bytes payload(frame.begin() + static_cast<std::ptrdiff_t>(start), frame.end() - 3);

    std::vector<SimReply> answer;
    if (!intact || payload.empty()) {
        if (!intact)
            ++badFrames_;
        answer.push_back({answerDelayS_, {ctl::NAK}});
    } else {
        answer = Handle(payload);
    }
    for (auto& reply : answer) {
        reply.inputEnd = inputEnd;
        replies.push_back(std::move(reply));
    }
}

// ---------------------------------------------------------------- answering

std::vector<SimReply> SimInstrument::Handle(const Bytes& payload)
{
    requests_.push_back(payload);
    hookAfter_.clear();
    const std::uint8_t command = payload[0];
    const auto target = RequestTarget(payload);

    std::vector<const SimFaultRule*> due;
    for (auto& state : rules_) {
        const SimFaultRule& rule = state.rule;
        if (!rule.commands.empty() &&
            std::find(rule.commands.begin(), rule.commands.end(), command) == rule.commands.end())
            continue;
        if (rule.targetFrom) {
            const std::uint32_t to = rule.targetTo.value_or(*rule.targetFrom);
            if (!target || *target < *rule.targetFrom || *target > to)
                continue;
        }
        ++state.matched;
        if (state.matched <= rule.after || (rule.times != kSimForever && state.strikes >= rule.times))
            continue;
        ++state.strikes;
        due.push_back(&rule);
    }

    const auto refusal = std::find_if(due.begin(), due.end(), [](const SimFaultRule* r) { return Refuses(r->fault); });
    Answer answer;
    if (refusal == due.end()) {
        answer = Execute(payload);
    } else {
        switch ((*refusal)->fault) {
        case SimFault::Silence:
            return {};
        case SimFault::Nak:
            answer.lead = {ctl::NAK};
            break;
        case SimFault::Busy:
            answer = Refusal(payload, kStatusBusy);
            break;
        case SimFault::NakStatus:
            answer = Refusal(payload, ctl::NAK);
            break;
        default:
            answer = Refusal(payload, kStatusNotOk);
            break;
        }
    }

    const auto first = [&](SimFault fault) -> const SimFaultRule* {
        for (const auto* rule : due)
            if (rule->fault == fault)
                return rule;
        return nullptr;
    };

    if (const auto* rule = first(SimFault::OverLong); rule && answer.frame) {
        const std::size_t target = rule->length ? rule->length : kOverLongDefault;
        const std::size_t overhead = answer.lead.size() + 6;
        const std::size_t payloadLength =
            std::min(std::max(target > overhead ? target - overhead : 0, answer.frame->size()), kMaxLongPayload);
        answer.frame->resize(payloadLength, kOverLongFiller);
    }
    Bytes bytes = answer.lead;
    if (answer.frame) {
        const Bytes frame = answer.frame->size() > kMaxShortPayload || first(SimFault::OverLong)
            ? BuildLongFrame(*answer.frame)
            : BuildShortFrame(*answer.frame);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    std::size_t split = answer.lead.size();
    if (const auto* rule = first(SimFault::Scripted)) {
        bytes = rule->bytes;
        split = bytes.size();
    }
    if (const auto* rule = first(SimFault::Truncated)) {
        bytes.resize(rule->length ? std::min(rule->length, bytes.size()) : bytes.size() / 2);
        split = std::min(split, bytes.size());
    }
    if (first(SimFault::MissingEot) && !bytes.empty() && bytes.back() == ctl::EOT)
        bytes.back() = kBrokenEot;
    if (const auto* rule = first(SimFault::GarbageBeforeAck)) {
        bytes.insert(bytes.begin(), rule->bytes.begin(), rule->bytes.end());
        split += rule->bytes.size();
    }

    double delay = answerDelayS_;
    double gap = answer.frameGapS;
    for (const auto* rule : due) {
        if (rule->fault == SimFault::Slow)
            delay += rule->delayS;
        else if (rule->fault == SimFault::SlowFrame)
            gap += rule->delayS;
    }

    std::vector<SimReply> replies;
    if (bytes.empty())
        return replies;
    if (gap > 0.0 && split > 0 && split < bytes.size()) {
        replies.push_back({delay, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(split))});
        replies.push_back({delay + gap, Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(split), bytes.end())});
    } else {
        replies.push_back({delay, std::move(bytes)});
    }
    for (auto& more : std::exchange(hookAfter_, {}))
        replies.push_back({delay + more.delayS, std::move(more.bytes)});
    return replies;
}

SimInstrument::Answer SimInstrument::StatusAnswer(std::uint8_t status) const
{
    return {{ctl::ACK}, Bytes{status}, 0.0};
}

SimInstrument::Answer SimInstrument::Refusal(const Bytes& payload, std::uint8_t status) const
{
    // The identification's refusal carries its status one byte later, after the command echo.
    if (payload[0] == 'I')
        return {{ctl::ACK}, Bytes{'I', status}, 0.0};
    if (payload[0] == '1' && payload.size() >= 2 && wifi_.Fitted())
        return DataAnswer(SimWifiModule::Refusal(payload[1], status));
    return StatusAnswer(status);
}

SimInstrument::Answer SimInstrument::DataAnswer(Bytes payload) const
{
    return {{ctl::ACK}, std::move(payload), 0.0};
}

SimInstrument::Answer SimInstrument::Execute(const Bytes& p)
{
    switch (p[0]) {
    case 'I':
        if (p.size() == 1)
            return Identification();
        break;
    case 'l':
        return ReadParamAnswer(p);
    case 'i':
        return WriteParamAnswer(p);
    case 'r':
        if (p.size() == 1) {
            ++commits_;
            return StatusAnswer(kStatusOk);
        }
        break;
    case 'e':
        return EepromAnswer(p);
    case 0xE5:
        return FlashReadAnswer(p);
    case 0xE6:
        return FlashWriteAnswer(p);
    case '0':
        return WifiWriteAnswer(p);
    case '1':
        return WifiReadAnswer(p);
    case '2':
        return WifiCommandAnswer(p);
    default:
        if (hook_) {
            if (auto served = hook_(p)) {
                hookAfter_ = std::move(served->after);
                return {std::move(served->lead), std::move(served->frame), 0.0};
            }
        }
        break;
    }
    return {{ctl::NAK}, std::nullopt, 0.0};
}

SimInstrument::Answer SimInstrument::Identification() const
{
    Bytes payload = Field(identity_.name, kNameLength);
    const Bytes serial = Field(identity_.serial, kSerialLength);
    Bytes version = Latin1(identity_.versionText);
    version.resize(std::min(version.size(), kMaxShortPayload - kNameLength - kSerialLength));
    payload.insert(payload.end(), serial.begin(), serial.end());
    payload.insert(payload.end(), version.begin(), version.end());
    return DataAnswer(std::move(payload));
}

SimInstrument::Answer SimInstrument::ReadParamAnswer(const Bytes& p) const
{
    if (p.size() != 4)
        return {{ctl::NAK}, std::nullopt, 0.0};
    const int index = static_cast<int>(Be16(p, 1));
    const auto over = readBack_.find(index);
    const Bytes text = Latin1(over != readBack_.end() ? over->second : Param(index));
    Bytes payload{kStatusOk};
    payload.insert(payload.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(
                                                                    std::min(text.size(), kMaxShortPayload - 1)));
    return DataAnswer(std::move(payload));
}

void SimInstrument::SetParamFamily(const std::string& familyEntry)
{
    widths_ = ParamCatalogue();
    familyLoaded_ = widths_.LoadFamily(familyEntry).has_value();
}

// The instrument keeps as many bytes as the parameter is wide.
std::string SimInstrument::StoredParamText(int index, const std::string& digits) const
{
    const int size = familyLoaded_ ? widths_.Type(index).Size : 0;
    if (size <= 0 || size > 4)
        return digits;
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, 10);
    const unsigned long long modulus = 1ULL << (8 * size);
    return std::to_string(value % modulus);
}

SimInstrument::Answer SimInstrument::WriteParamAnswer(const Bytes& p)
{
    if (p.size() < 4)
        return {{ctl::NAK}, std::nullopt, 0.0};
    const std::size_t digits = p.size() - 3;
    const bool numeric = std::all_of(p.begin() + 3, p.end(), [](std::uint8_t b) { return b >= '0' && b <= '9'; });
    if (digits > kParamMaxDigits || !numeric)
        return StatusAnswer(kStatusNotOk);
    const int index = static_cast<int>(Be16(p, 1));
    params_[index] = StoredParamText(index, std::string(p.begin() + 3, p.end()));
    return StatusAnswer(kStatusOk);
}

SimInstrument::Answer SimInstrument::EepromAnswer(const Bytes& p)
{
    if (p.size() == 6 && p[1] == 'd') {
        const unsigned address = Be16(p, 3);
        if (address + kEepromReadBlock > static_cast<unsigned>(kSimEepromSize))
            return StatusAnswer(kStatusNotOk);
        const auto first = eeprom_.begin() + static_cast<std::ptrdiff_t>(address);
        return DataAnswer(Bytes(first, first + kEepromReadBlock));
    }
    if (p.size() >= 5 && p[1] == 0x00 && p[2] == 0x01) {
        const unsigned address = Be16(p, 3);
        const std::size_t n = p.size() - 5;
        if (n > kEepromMaxWrite || address + n > static_cast<unsigned>(kSimEepromSize))
            return StatusAnswer(kStatusNotOk);
        WriteEeprom(static_cast<int>(address), Bytes(p.begin() + 5, p.end()));
        memoryWrites_.push_back({SimMemoryWrite::Memory::Eeprom, address, n});
        return StatusAnswer(kStatusOk);
    }
    return {{ctl::NAK}, std::nullopt, 0.0};
}

SimInstrument::Answer SimInstrument::FlashReadAnswer(const Bytes& p) const
{
    if (p.size() != 6)
        return {{ctl::NAK}, std::nullopt, 0.0};
    const std::uint32_t address = Be24(p, 1);
    const std::size_t length = Be16(p, 4);
    if (length == 0 || length > kFlashMaxBlock || address + length > kSimFlashSize)
        return StatusAnswer(kStatusNotOk);
    return DataAnswer(ReadFlash(address, length));
}

SimInstrument::Answer SimInstrument::FlashWriteAnswer(const Bytes& p)
{
    if (p.size() < 6 || p.size() != 6 + Be16(p, 4))
        return {{ctl::NAK}, std::nullopt, 0.0};
    const std::uint32_t address = Be24(p, 1);
    const std::size_t length = Be16(p, 4);
    if (length == 0 || length > kFlashMaxBlock || address + length > kSimFlashSize)
        return StatusAnswer(kStatusNotOk);
    WriteFlash(address, Bytes(p.begin() + 6, p.end()));
    memoryWrites_.push_back({SimMemoryWrite::Memory::Flash, address, length});
    return StatusAnswer(kStatusOk);
}

SimInstrument::Answer SimInstrument::WifiReadAnswer(const Bytes& p) const
{
    if (p.size() != 2 || !wifi_.Fitted())
        return {{ctl::NAK}, std::nullopt, 0.0};
    return DataAnswer(wifi_.Read(p[1]));
}

SimInstrument::Answer SimInstrument::WifiWriteAnswer(const Bytes& p)
{
    if (p.size() < 2 || !wifi_.Fitted())
        return {{ctl::NAK}, std::nullopt, 0.0};
    return StatusAnswer(wifi_.Write(p[1], Bytes(p.begin() + 2, p.end())));
}

SimInstrument::Answer SimInstrument::WifiCommandAnswer(const Bytes& p)
{
    if (p.size() != 2 || !wifi_.Fitted())
        return {{ctl::NAK}, std::nullopt, 0.0};
    if (p[1] == 0) {
        wifi_.SetOn(false);
        return StatusAnswer(kStatusOk);
    }
    if (p[1] == 1) {
        wifi_.SetOn(true);
        Answer answer = StatusAnswer(kStatusOk);
        answer.frameGapS = wifiSwitchOnDelayS_;
        return answer;
    }
    return StatusAnswer(kStatusNotOk);
}
