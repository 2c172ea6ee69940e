#include "sim/SimBoards.h"

namespace {

constexpr std::uint8_t kNak = 0x15;
constexpr std::uint8_t kStatusOk = '0';
constexpr std::uint8_t kStatusNotOk = '1';
constexpr std::uint8_t kBootloaderAck = 0x79;

constexpr std::uint8_t kOpenPassThrough = 0xD0;
constexpr std::uint8_t kPassCommand = 0xD1;
constexpr std::uint8_t kPassPage = 0xD2;
constexpr std::uint8_t kPassReset = 0xD3;
constexpr std::uint8_t kLinkSpeed = 0xD4;
// The CPU firmware takes this long to hand a reset to the MIS board and report it.
constexpr double kResetS = 0.002;

SimHookAnswer Status(std::uint8_t status)
{
    SimHookAnswer answer;
    answer.frame = Bytes{status};
    return answer;
}

}  // namespace

SimBoards::SimBoards(SimInstrument& instrument) : instrument_(instrument)
{
    instrument_.SetCommandHook([this](const Bytes& payload) { return PassThrough(payload); });
}

void SimBoards::StartCpuInBootloader()
{
    cpuState_ = CpuState::Bootloader;
    cpu_.Restart();
    linkBaud_ = 0;
    passThrough_ = false;
}

void SimBoards::SetBootTimes(const SimBootTimes& times)
{
    cpu_.SetTimes(times);
    mis_.SetTimes(times);
}

SimBoards::CpuState SimBoards::Cpu() const
{
    return cpuState_;
}

void SimBoards::SetLine(double now, int hostBaud)
{
    now_ = now;
    hostBaud_ = hostBaud;
    UpdatePower();
}

void SimBoards::UpdatePower()
{
    if (cpuState_ == CpuState::Off && powerOnDelayS_ >= 0.0 && now_ >= goAt_ + powerOnDelayS_) {
        // Switched on: the new firmware starts on the default link.
        cpuState_ = CpuState::Firmware;
        linkBaud_ = 0;
        passThrough_ = false;
        instrument_.ResetReceiver();
    }
}

std::vector<SimReply> SimBoards::Receive(const Bytes& bytes)
{
    UpdatePower();
    switch (cpuState_) {
    case CpuState::Bootloader: {
        auto replies = cpu_.Receive(bytes);
        if (cpu_.Running()) {
            cpuState_ = CpuState::Off;
            goAt_ = now_;
        }
        return replies;
    }
    case CpuState::Off:
        return {};
    case CpuState::Firmware:
        break;
    }
    if (linkBaud_ != 0 && hostBaud_ != 0 && hostBaud_ != linkBaud_) {
        // Bytes at another rate arrive as garbage: nothing the firmware can read.
        lineErrors_ += bytes.size();
        instrument_.ResetReceiver();
        return {};
    }
    return instrument_.Receive(bytes);
}

bool SimBoards::ReceivingFrame() const
{
    if (cpuState_ == CpuState::Bootloader)
        return cpu_.InCommand();
    return cpuState_ == CpuState::Firmware && instrument_.ReceivingFrame();
}

void SimBoards::ResetReceiver()
{
    cpu_.AbandonCommand();
    instrument_.ResetReceiver();
}

std::optional<SimHookAnswer> SimBoards::PassThrough(const Bytes& p)
{
    const std::uint8_t command = p[0];
    if (command == kOpenPassThrough && p.size() == 1) {
        passThrough_ = true;
        mis_.Restart();
        return Status(kStatusOk);
    }
    if (command == kLinkSpeed && p.size() == 2) {
        if (p[1] > 1)
            return Status(kStatusNotOk);
        linkBaud_ = p[1] == 0 ? kSlowLinkBaud : kDefaultLinkBaud;
        return Status(kStatusOk);
    }
    if (command != kPassCommand && command != kPassPage && command != kPassReset)
        return std::nullopt;

    SimHookAnswer answer;
    if (!passThrough_) {
        answer.lead = {kNak};
        return answer;
    }
    if (command == kPassReset) {
        mis_.Restart();
        passThrough_ = false;
        ++misResets_;
        answer.after.push_back({kResetS, {kBootloaderAck}, 0});
        return answer;
    }
    for (auto& reply : mis_.Receive(Bytes(p.begin() + 1, p.end())))
        answer.after.push_back({reply.delayS, std::move(reply.bytes), 0});
    return answer;
}

SimBootStats SimBoards::BootStats() const
{
    SimBootStats sum = cpu_.Stats();
    const SimBootStats& mis = mis_.Stats();
    sum.bytesIn += mis.bytesIn;
    sum.bytesOut += mis.bytesOut;
    sum.exchanges += mis.exchanges;
    sum.eraseS += mis.eraseS;
    sum.programS += mis.programS;
    return sum;
}

void SimBoards::ResetBootStats()
{
    cpu_.ResetStats();
    mis_.ResetStats();
}
