#include "sim/SimBootloader.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kSync = 0x7F;
constexpr std::uint8_t kAck = 0x79;
constexpr std::uint8_t kNack = 0x1F;
constexpr std::uint8_t kGet = 0x00;
constexpr std::uint8_t kGetVersion = 0x01;
constexpr std::uint8_t kGetId = 0x02;
constexpr std::uint8_t kReadMemory = 0x11;
constexpr std::uint8_t kGo = 0x21;
constexpr std::uint8_t kWriteMemory = 0x31;
constexpr std::uint8_t kExtendedErase = 0x44;
// Get's list: the commands above and the protection commands, which this part refuses.
constexpr std::uint8_t kServed[] = {0x00, 0x01, 0x02, 0x11, 0x21, 0x31, 0x44, 0x63, 0x73, 0x82, 0x92};

constexpr std::size_t kAddressBytes = 5;
constexpr std::uint16_t kMassEraseCode = 0xFFFF;
constexpr std::uint16_t kFirstSpecialCode = 0xFFF0;

std::uint32_t Be32(const Bytes& p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

bool Within(std::uint32_t address, std::size_t length, std::uint32_t start, std::uint32_t size)
{
    const std::uint64_t a = address;
    return a >= start && a + length <= static_cast<std::uint64_t>(start) + size;
}

}  // namespace

SimBootloader::SimBootloader() : flash_(kSimBootFlashSize), ram_(kSimBootRamSize, 0)
{
    for (std::uint32_t i = 0; i < kSimBootFlashSize; ++i)
        flash_[i] = OldImagePattern(i);
}

std::uint8_t SimBootloader::OldImagePattern(std::uint32_t offset)
{
    return static_cast<std::uint8_t>((offset * 29 + (offset >> 9) + 3) & 0x7F);
}

std::uint32_t SimBootloader::SectorStart(int sector)
{
    constexpr std::uint32_t k16 = 16 * 1024;
    constexpr std::uint32_t k64 = 64 * 1024;
    constexpr std::uint32_t k128 = 128 * 1024;
    if (sector <= 4)
        return static_cast<std::uint32_t>(sector) * k16;
    return 4 * k16 + k64 + static_cast<std::uint32_t>(sector - 5) * k128;
}

std::uint32_t SimBootloader::SectorSize(int sector)
{
    if (sector < 4)
        return 16 * 1024;
    return sector == 4 ? 64 * 1024 : 128 * 1024;
}

Bytes SimBootloader::ReadFlash(std::uint32_t offset, std::size_t length) const
{
    if (offset >= flash_.size())
        return {};
    length = std::min<std::size_t>(length, flash_.size() - offset);
    return Bytes(flash_.begin() + offset, flash_.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

bool SimBootloader::FlashErased(std::uint32_t offset, std::size_t length) const
{
    if (offset > flash_.size() || length > flash_.size() - offset)
        return false;
    return std::all_of(flash_.begin() + offset, flash_.begin() + static_cast<std::ptrdiff_t>(offset + length),
                       [](std::uint8_t b) { return b == 0xFF; });
}

int SimBootloader::AddFault(SimBootFault fault)
{
    faults_.push_back(fault);
    return static_cast<int>(faults_.size()) - 1;
}

int SimBootloader::FaultStrikes(int id) const
{
    return id >= 0 && id < static_cast<int>(faults_.size()) ? faults_[static_cast<std::size_t>(id)].strikes : 0;
}

SimBootFault SimBootloader::NackWriteData(std::uint32_t address, int times)
{
    SimBootFault fault;
    fault.command = kWriteMemory;
    fault.step = SimBootStep::Data;
    fault.address = address;
    fault.times = times;
    return fault;
}

SimBootFault SimBootloader::SilentRead(std::optional<std::uint32_t> address)
{
    SimBootFault fault;
    fault.silent = true;
    fault.command = kReadMemory;
    fault.step = SimBootStep::Data;
    fault.address = address;
    return fault;
}

void SimBootloader::Restart()
{
    stage_ = Stage::Unsynced;
    pending_.clear();
    need_ = 0;
}

void SimBootloader::AbandonCommand()
{
    if (InCommand()) {
        stage_ = Stage::Idle;
        pending_.clear();
    }
}

std::vector<SimReply> SimBootloader::Receive(const Bytes& bytes)
{
    std::vector<SimReply> replies;
    stats_.bytesIn += bytes.size();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        Step(bytes[i], i + 1, replies);
    return replies;
}

void SimBootloader::Reply(Bytes bytes, double delayS, std::size_t inputEnd, std::vector<SimReply>& replies)
{
    stats_.bytesOut += bytes.size();
    ++stats_.exchanges;
    replies.push_back({delayS, std::move(bytes), inputEnd});
}

void SimBootloader::Nack(std::size_t inputEnd, std::vector<SimReply>& replies)
{
    Reply({kNack}, 0.0, inputEnd, replies);
    stage_ = Stage::Idle;
    pending_.clear();
}

const SimBootFault* SimBootloader::Fault(SimBootStep step, std::optional<std::uint32_t> address)
{
    for (auto& fault : faults_) {
        if (fault.command != command_ || fault.step != step)
            continue;
        if (fault.address && fault.address != address)
            continue;
        ++fault.matched;
        if (fault.matched <= fault.after || (fault.times >= 0 && fault.strikes >= fault.times))
            continue;
        ++fault.strikes;
        return &fault;
    }
    return nullptr;
}

bool SimBootloader::Acknowledge(SimBootStep step, Stage next, std::size_t inputEnd, std::vector<SimReply>& replies,
                                std::optional<std::uint32_t> address, double delayS)
{
    if (const SimBootFault* fault = Fault(step, address)) {
        if (fault->silent) {
            stage_ = Stage::Idle;
            pending_.clear();
        } else {
            Nack(inputEnd, replies);
        }
        return false;
    }
    Reply({kAck}, delayS, inputEnd, replies);
    stage_ = next;
    pending_.clear();
    switch (next) {
    case Stage::ReadAddress:
    case Stage::GoAddress:
    case Stage::WriteAddress:
        need_ = kAddressBytes;
        break;
    case Stage::ReadCount:
    case Stage::EraseHead:
        need_ = 2;
        break;
    case Stage::WriteBlock:
        need_ = 1;  // the count first
        break;
    default:
        need_ = 0;
        break;
    }
    return true;
}

void SimBootloader::Step(std::uint8_t byte, std::size_t inputEnd, std::vector<SimReply>& replies)
{
    switch (stage_) {
    case Stage::Unsynced:
        if (byte == kSync) {
            Reply({kAck}, 0.0, inputEnd, replies);
            stage_ = Stage::Idle;
        }
        return;
    case Stage::Running:
        return;
    case Stage::Idle:
        if (byte == kSync) {
            Reply({kNack}, 0.0, inputEnd, replies);  // already synchronised
            return;
        }
        command_ = byte;
        stage_ = Stage::Command;
        return;
    case Stage::Command:
        if (byte != static_cast<std::uint8_t>(command_ ^ 0xFF))
            Nack(inputEnd, replies);
        else
            OnCommand(inputEnd, replies);
        return;
    default:
        break;
    }
    pending_.push_back(byte);
    if (stage_ == Stage::WriteBlock && pending_.size() == 1)
        need_ = 1 + (static_cast<std::size_t>(byte) + 1) + 1;
    if (pending_.size() < need_)
        return;
    switch (stage_) {
    case Stage::ReadAddress:
    case Stage::GoAddress:
    case Stage::WriteAddress:
        OnAddress(inputEnd, replies);
        break;
    case Stage::ReadCount:
        OnReadCount(inputEnd, replies);
        break;
    case Stage::WriteBlock:
        OnWriteBlock(inputEnd, replies);
        break;
    case Stage::EraseHead:
        OnEraseHead(inputEnd, replies);
        break;
    case Stage::EraseRest:
        OnEraseRest(inputEnd, replies);
        break;
    default:
        break;
    }
}

void SimBootloader::OnCommand(std::size_t inputEnd, std::vector<SimReply>& replies)
{
    switch (command_) {
    case kGet: {
        Bytes answer{kAck, static_cast<std::uint8_t>(sizeof kServed), kSimBootVersion};
        answer.insert(answer.end(), std::begin(kServed), std::end(kServed));
        answer.push_back(kAck);
        Reply(std::move(answer), 0.0, inputEnd, replies);
        stage_ = Stage::Idle;
        return;
    }
    case kGetVersion:
        Reply({kAck, kSimBootVersion, 0x00, 0x00, kAck}, 0.0, inputEnd, replies);
        stage_ = Stage::Idle;
        return;
    case kGetId:
        Reply({kAck, 0x01, static_cast<std::uint8_t>(kSimBootProductId >> 8),
               static_cast<std::uint8_t>(kSimBootProductId & 0xFF), kAck},
              0.0, inputEnd, replies);
        stage_ = Stage::Idle;
        return;
    case kReadMemory:
        Acknowledge(SimBootStep::Command, Stage::ReadAddress, inputEnd, replies);
        return;
    case kGo:
        Acknowledge(SimBootStep::Command, Stage::GoAddress, inputEnd, replies);
        return;
    case kWriteMemory:
        Acknowledge(SimBootStep::Command, Stage::WriteAddress, inputEnd, replies);
        return;
    case kExtendedErase:
        Acknowledge(SimBootStep::Command, Stage::EraseHead, inputEnd, replies);
        return;
    default:
        Nack(inputEnd, replies);
        return;
    }
}

bool SimBootloader::Readable(std::uint32_t address, std::size_t length) const
{
    return Within(address, length, kSimBootFlashStart, kSimBootFlashSize) ||
           Within(address, length, kSimBootRamStart, kSimBootRamSize);
}

bool SimBootloader::Writable(std::uint32_t address, std::size_t length) const
{
    return Readable(address, length);
}

void SimBootloader::OnAddress(std::size_t inputEnd, std::vector<SimReply>& replies)
{
    const std::uint8_t check = pending_[0] ^ pending_[1] ^ pending_[2] ^ pending_[3];
    const std::uint32_t address = Be32(pending_);
    if (check != pending_[4] || !Readable(address, 1)) {
        Nack(inputEnd, replies);
        return;
    }
    address_ = address;
    if (stage_ == Stage::ReadAddress) {
        Acknowledge(SimBootStep::Address, Stage::ReadCount, inputEnd, replies, address);
    } else if (stage_ == Stage::WriteAddress) {
        Acknowledge(SimBootStep::Address, Stage::WriteBlock, inputEnd, replies, address);
    } else if (Acknowledge(SimBootStep::Address, Stage::Running, inputEnd, replies, address)) {
        goAddress_ = address;
    }
}

void SimBootloader::OnReadCount(std::size_t inputEnd, std::vector<SimReply>& replies)
{
    const std::size_t length = static_cast<std::size_t>(pending_[0]) + 1;
    if (pending_[1] != static_cast<std::uint8_t>(pending_[0] ^ 0xFF) || !Readable(address_, length)) {
        Nack(inputEnd, replies);
        return;
    }
    if (const SimBootFault* fault = Fault(SimBootStep::Data, address_)) {
        if (fault->silent) {
            stage_ = Stage::Idle;
            pending_.clear();
        } else {
            Nack(inputEnd, replies);
        }
        return;
    }
    Bytes answer{kAck};
    if (Within(address_, length, kSimBootFlashStart, kSimBootFlashSize)) {
        const auto first = flash_.begin() + (address_ - kSimBootFlashStart);
        answer.insert(answer.end(), first, first + static_cast<std::ptrdiff_t>(length));
    } else {
        const auto first = ram_.begin() + (address_ - kSimBootRamStart);
        answer.insert(answer.end(), first, first + static_cast<std::ptrdiff_t>(length));
    }
    Reply(std::move(answer), 0.0, inputEnd, replies);
    stage_ = Stage::Idle;
    pending_.clear();
}

void SimBootloader::OnWriteBlock(std::size_t inputEnd, std::vector<SimReply>& replies)
{
    const std::size_t length = static_cast<std::size_t>(pending_[0]) + 1;
    std::uint8_t check = 0;
    for (std::size_t i = 0; i + 1 < pending_.size(); ++i)
        check ^= pending_[i];
    const bool inFlash = Within(address_, length, kSimBootFlashStart, kSimBootFlashSize);
    const bool valid = check == pending_.back() && Writable(address_, length) &&
                       (!inFlash || FlashErased(address_ - kSimBootFlashStart, length));
    if (!valid) {
        Nack(inputEnd, replies);
        return;
    }
    const Bytes data(pending_.begin() + 1, pending_.end() - 1);
    const double busy = inFlash ? times_.programS : 0.0;
    if (!Acknowledge(SimBootStep::Data, Stage::Idle, inputEnd, replies, address_, busy))
        return;
    if (inFlash) {
        const std::uint32_t offset = address_ - kSimBootFlashStart;
        std::copy(data.begin(), data.end(), flash_.begin() + offset);
        for (const std::uint32_t weak : weakBytes_)
            if (weak >= offset && weak - offset < data.size())
                flash_[weak] ^= 0x01;
    } else
        std::copy(data.begin(), data.end(), ram_.begin() + (address_ - kSimBootRamStart));
    stats_.programS += busy;
    ++writes_;
}

void SimBootloader::OnEraseHead(std::size_t inputEnd, std::vector<SimReply>& replies)
{
    (void)inputEnd;
    (void)replies;
    const auto code = static_cast<std::uint16_t>((pending_[0] << 8) | pending_[1]);
    massErase_ = code >= kFirstSpecialCode;
    // Keep the head: the list's checksum covers it.
    need_ = massErase_ ? 2 + 1 : 2 + 2 * (static_cast<std::size_t>(code) + 1) + 1;
    stage_ = Stage::EraseRest;
}

void SimBootloader::OnEraseRest(std::size_t inputEnd, std::vector<SimReply>& replies)
{
    const auto code = static_cast<std::uint16_t>((pending_[0] << 8) | pending_[1]);
    std::uint8_t check = 0;
    for (std::size_t i = 0; i + 1 < pending_.size(); ++i)
        check ^= pending_[i];
    if (check != pending_.back()) {
        Nack(inputEnd, replies);
        return;
    }
    if (massErase_) {
        if (code != kMassEraseCode) {  // bank erases: this part has one bank
            Nack(inputEnd, replies);
            return;
        }
        if (!Acknowledge(SimBootStep::Data, Stage::Idle, inputEnd, replies, std::nullopt, times_.massEraseS))
            return;
        std::fill(flash_.begin(), flash_.end(), 0xFF);
        stats_.eraseS += times_.massEraseS;
        ++massErases_;
        return;
    }
    std::vector<int> sectors;
    for (std::size_t i = 2; i + 1 < pending_.size(); i += 2) {
        const int sector = (pending_[i] << 8) | pending_[i + 1];
        if (sector >= kSimBootSectors) {
            Nack(inputEnd, replies);
            return;
        }
        sectors.push_back(sector);
    }
    const double busy = times_.sectorEraseS * static_cast<double>(sectors.size());
    if (!Acknowledge(SimBootStep::Data, Stage::Idle, inputEnd, replies, std::nullopt, busy))
        return;
    for (const int sector : sectors) {
        const auto first = flash_.begin() + SectorStart(sector);
        std::fill(first, first + SectorSize(sector), 0xFF);
    }
    stats_.eraseS += busy;
}
