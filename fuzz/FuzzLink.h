// Shared by the fuzz targets: a serial link in virtual time whose instrument answers every request
// with bytes the fuzzer chooses, and a check that stops the run when a promise is broken.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "core/Dialogs.h"
#include "link/Frames.h"
#include "link/SerialLink.h"
#include "sim/VirtualHost.h"
#include "support/ScriptedPort.h"

// A broken promise is a finding: the fuzzer saves the input that led to it.
#define FUZZ_CHECK(condition) \
    do {                      \
        if (!(condition))     \
            std::abort();     \
    } while (false)

class SilentDialogs : public Dialogs {
public:
    MsgAnswer Message(MsgIcon, const std::string&, const std::string&, MsgButtons) override
    {
        ++messages;
        return MsgAnswer::Ok;
    }
    std::optional<std::string> OpenFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> SaveFile(const FileDialogRequest&) override { return std::nullopt; }
    int messages = 0;
};

// An answer from fuzz data: raw bytes, or ACK and a well-formed frame around a payload that is then
// left whole or damaged (a byte changed, cut short, stray bytes before it, bytes after it, a bare
// NAK, silence), so the routines meet both answers they must take and answers they must refuse.
inline Bytes FuzzAnswer(FuzzedDataProvider& data)
{
    const auto shape = data.ConsumeIntegral<std::uint8_t>();
    Bytes payload = data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<std::size_t>(0, 1100));
    if (shape & 1)
        return payload;
    Bytes answer{ctl::ACK};
    const Bytes frame = BuildFrame(payload);
    answer.insert(answer.end(), frame.begin(), frame.end());
    switch ((shape >> 1) % 8) {
    case 1:
        answer[data.ConsumeIntegralInRange<std::size_t>(0, answer.size() - 1)] ^= data.ConsumeIntegralInRange<std::uint8_t>(1, 255);
        break;
    case 2:
        answer.resize(data.ConsumeIntegralInRange<std::size_t>(0, answer.size() - 1));
        break;
    case 3:
        answer.insert(answer.begin(), data.ConsumeIntegral<std::uint8_t>());
        break;
    case 4:
        answer.push_back(data.ConsumeIntegral<std::uint8_t>());
        break;
    case 5:
        return {ctl::NAK};
    case 6:
        return {};
    default:
        break;
    }
    return answer;
}

// The port delivers each answer in up to three pieces, each some time after the request: in time,
// after the acknowledge wait, after the answer wait, or while the next request is on its way.
struct FuzzLink {
    explicit FuzzLink(FuzzedDataProvider& source) : data(source)
    {
        port.onWrite = [this](const Bytes&) {
            if (++requests > kMaxRequests)
                return;
            Bytes answer = FuzzAnswer(data);
            double at = 0.0;
            for (int piece = 0; piece < 3 && !answer.empty(); ++piece) {
                const std::size_t n = piece == 2 ? answer.size() : data.ConsumeIntegralInRange<std::size_t>(1, answer.size());
                at += data.ConsumeIntegralInRange<int>(0, 1600) / 1000.0;
                Bytes chunk(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(n));
                answer.erase(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(n));
                host.CallAfter(at, [this, chunk] {
                    if (port.IsOpen())
                        port.Arrive(chunk);
                });
            }
        };
        link.InitSeriale(1, "115200");
    }

    static constexpr int kMaxRequests = 64;
    FuzzedDataProvider& data;
    VirtualHost host;
    ScriptedPort port;
    SilentDialogs dialogs;
    SerialLink link{port, host, dialogs};
    int requests = 0;
};
