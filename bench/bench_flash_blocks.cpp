// Flash block reads through a pseudo-terminal from `servicetool-sim --pace` at 115200 baud:
// measured time against the time the bytes take on the line, and the CPU it costs.
//   bench_flash_blocks [blocks]   (default 200)
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "link/Commands.h"
#include "link/Frames.h"
#include "link/SerialLink.h"
#include "platform/QtHost.h"
#include "platform/QtSerialPort.h"
#include "ProcessClock.h"
#include "support/RealPath.h"
#include "support/SimProgram.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int blocks = argc > 1 ? std::atoi(argv[1]) : 200;
    constexpr double kBaud = 115200.0;
    constexpr double kBitsPerByte = 10.0;

    SimProgram sim({"--pace", "--baud", "115200"});
    if (!sim.ok()) {
        std::fprintf(stderr, "%s\n", sim.error().c_str());
        return 1;
    }
    RealPath path(sim.link());
    QtHost& host = path.host;
    SerialLink& link = path.link;
    if (link.InitSeriale(1, "115200") != 0)
        return 1;

    const double requestBytes = static_cast<double>(BuildFrame(Bytes(6)).size());
    double lineBytes = 0.0;
    const double cpuStart = ProcessCpuSeconds();
    const double start = host.Now();
    int failures = 0;
    for (int i = 0; i < blocks; ++i) {
        FlashPageRecord record;
        record.FirstPage = record.LastPage = i / 4;
        link.SendFrame({0xE5, static_cast<std::uint8_t>((i * 1024) >> 16), static_cast<std::uint8_t>((i * 1024) >> 8),
                        0x00, 0x04, 0x00},
                       kAnswerWaitS);
        failures += link.Rx.RxFrameDone && link.Rx.RxCount == 1031 ? 0 : 1;
        lineBytes += requestBytes + link.Rx.RxCount;
    }
    const double wall = host.Now() - start;
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const double lineTime = lineBytes * kBitsPerByte / kBaud;
    std::printf("flash blocks: %d (%d failed)\n", blocks, failures);
    std::printf("measured %.3f s, line rate %.3f s, ratio %.4f\n", wall, lineTime, wall / lineTime);
    std::printf("CPU %.3f s = %.2f %% of the wall time\n", cpu, 100.0 * cpu / wall);
    link.CloseSeriale();
    return failures == 0 ? 0 : 1;
}
