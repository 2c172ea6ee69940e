#include "sim/SimPort.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

double SimByteTime(const std::string& lineSettings)
{
    std::vector<std::string> fields;
    std::stringstream stream(lineSettings);
    for (std::string field; std::getline(stream, field, ',');)
        fields.push_back(field);
    if (fields.empty())
        return 0.0;
    char* end = nullptr;
    const long baud = std::strtol(fields[0].c_str(), &end, 10);
    if (end == fields[0].c_str() || baud <= 0)
        return 0.0;
    const bool parity = fields.size() > 1 && !fields[1].empty() && fields[1] != "N" && fields[1] != "n";
    const long dataBits = fields.size() > 2 ? std::clamp(std::atol(fields[2].c_str()), 5L, 8L) : 8;
    const long stopBits = fields.size() > 3 ? std::clamp(std::atol(fields[3].c_str()), 1L, 2L) : 1;
    return static_cast<double>(1 + dataBits + (parity ? 1 : 0) + stopBits) / static_cast<double>(baud);
}

int SimBaud(const std::string& lineSettings)
{
    const long baud = std::strtol(lineSettings.c_str(), nullptr, 10);
    return baud > 0 && baud <= 100000000 ? static_cast<int>(baud) : 0;
}

SimPort::SimPort(SimDevice& instrument, Scheduler& scheduler) : instrument_(instrument), scheduler_(scheduler) {}

SimPort::~SimPort() = default;

void SimPort::SetBusy(int number, bool busy)
{
    if (busy)
        busy_.insert(number);
    else
        busy_.erase(number);
}

void SimPort::SetAccessDenied(int number, const std::string& group)
{
    denied_[number] = group;
}

std::string SimPort::DeviceOf(int number) const
{
    const auto it = devices_.find(number);
    return it != devices_.end() ? it->second : std::string("simulated instrument");
}

PortOpenResult SimPort::Open()
{
    if (open_)
        return {PortOpenResult::Kind::Failed, kBusyErrorNumber, "Port already open"};
    if (existing_.count(number_) == 0)
        return {PortOpenResult::Kind::NotFound, kNotFoundErrorNumber, "No such file or directory"};
    if (busy_.count(number_) != 0)
        return {PortOpenResult::Kind::Failed, kBusyErrorNumber, "Permission denied"};
    if (const auto denied = denied_.find(number_); denied != denied_.end()) {
        PortOpenResult refused{PortOpenResult::Kind::Failed, kBusyErrorNumber, "Permission denied"};
        refused.accessDenied = true;
        refused.device = DeviceOf(number_);
        refused.deviceGroup = denied->second;
        return refused;
    }
    open_ = true;
    ++opens_;
    received_.clear();
    const double now = scheduler_.Now();
    lastStart_ = txFreeAt_ = rxFreeAt_ = now;
    return {};
}

void SimPort::Close()
{
    // Whatever is still on its way is lost, and no late delivery may reach a later opening.
    open_ = false;
    ++generation_;
    eventPending_ = false;
    outgoing_.clear();
    received_.clear();
}

bool SimPort::ReadByte(std::uint8_t& byte)
{
    if (!open_ || received_.empty())
        return false;
    byte = received_.front();
    received_.pop_front();
    return true;
}

bool SimPort::Write(const Bytes& bytes)
{
    if (!open_)
        return false;
    writes_.push_back(bytes);
    const double now = scheduler_.Now();
    const double byteTime = ByteTime();
    const double txStart = std::max(now, txFreeAt_);
    txFreeAt_ = txStart + static_cast<double>(bytes.size()) * byteTime;
    instrument_.SetLine(txStart, SimBaud(settings_));
    for (auto& reply : instrument_.Receive(bytes)) {
        const double requestEnd = txStart + static_cast<double>(reply.inputEnd) * byteTime;
        Queue(requestEnd + reply.delayS + (byteTime > 0.0 ? 0.0 : latencyS_), std::move(reply.bytes));
    }
    return true;
}

void SimPort::Inject(double delayS, const Bytes& bytes)
{
    if (open_)
        Queue(scheduler_.Now() + delayS, bytes);
}

Bytes SimPort::Written() const
{
    Bytes all;
    for (const auto& w : writes_)
        all.insert(all.end(), w.begin(), w.end());
    return all;
}

void SimPort::Queue(double at, Bytes bytes)
{
    if (bytes.empty())
        return;
    const double byteTime = ByteTime();
    Outgoing item;
    item.byteTime = byteTime;
    item.start = std::max({at, lastStart_, rxFreeAt_});
    lastStart_ = item.start;
    rxFreeAt_ = item.start + static_cast<double>(bytes.size()) * byteTime;
    item.bytes = std::move(bytes);
    outgoing_.push_back(std::move(item));
    ScheduleNext();
}

void SimPort::ScheduleNext()
{
    if (eventPending_ || outgoing_.empty())
        return;
    const Outgoing& next = outgoing_.front();
    const double at = next.byteTime > 0.0 ? next.start + static_cast<double>(next.sent + 1) * next.byteTime
                                          : next.start;
    eventPending_ = true;
    std::weak_ptr<int> alive = alive_;
    scheduler_.CallAt(at, [this, alive, generation = generation_] {
        if (alive.lock())
            Deliver(generation);
    });
}

void SimPort::Deliver(std::uint64_t generation)
{
    if (generation != generation_ || outgoing_.empty())
        return;
    eventPending_ = false;
    Outgoing& item = outgoing_.front();
    const std::size_t n = item.byteTime > 0.0 ? 1 : std::min(kChunk, item.bytes.size() - item.sent);
    const auto first = item.bytes.begin() + static_cast<std::ptrdiff_t>(item.sent);
    received_.insert(received_.end(), first, first + static_cast<std::ptrdiff_t>(n));
    item.sent += n;
    if (item.sent >= item.bytes.size())
        outgoing_.pop_front();
    ScheduleNext();
    if (handler_)
        handler_();
}
