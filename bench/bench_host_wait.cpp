// Idle cost and wake-up latency of the real-time waits.
//   CPU seconds spent by a 2-second idle Delay (should be close to 0), and the median time from a
//   byte written on the far side of a pseudo-terminal to the waiting routine seeing it.
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "link/SerialLink.h"
#include "platform/QtHost.h"
#include "platform/QtSerialPort.h"
#include "support/Pty.h"
#include "ProcessClock.h"
#include "support/RealPath.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Pty pty;
    if (!pty.ok()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    RealPath path(pty.link());
    QtHost& host = path.host;
    SerialLink& link = path.link;
    if (link.InitSeriale(1, "115200") != 0) {
        std::fprintf(stderr, "cannot open the pseudo-terminal\n");
        return 1;
    }

    const double cpuBefore = ProcessCpuSeconds();
    const double wallBefore = host.Now();
    link.Delay(2.0);
    std::printf("idle Delay(2.0): wall %.3f s, CPU %.4f s\n", host.Now() - wallBefore, ProcessCpuSeconds() - cpuBefore);

    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    std::vector<double> latencies;
    for (int i = 0; i < rounds; ++i) {
        link.Rx.ResetForExchange();
        double sentAt = 0.0;
        std::thread peer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            sentAt = host.Now();
            pty.WriteMaster("\x06");
        });
        link.WaitFor(1.0, [&] { return link.Rx.RxAck != 0; });
        const double seenAt = host.Now();
        peer.join();
        latencies.push_back(seenAt - sentAt);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("wake-up after a byte: median %.3f ms, 90th percentile %.3f ms over %d bytes\n",
                latencies[latencies.size() / 2] * 1000.0, latencies[latencies.size() * 9 / 10] * 1000.0, rounds);
    link.CloseSeriale();
    return 0;
}
