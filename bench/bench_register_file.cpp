// Read-all and write-all of the Wi-Fi register file against `servicetool-sim --pace` through a
// pseudo-terminal and the real serial port, as the Service tab runs them (same operations, a sink
// without widgets). Prints the wall time of each against the time its bytes take on the line at
// 115200 baud, and the part of it that is the port's opening pause (0.25 s).
//   bench_register_file [ROUNDS]    (default 5)
#include <QApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "service/ServiceOperations.h"
#include "support/RealPath.h"
#include "support/RecordingSink.h"
#include "support/SimProgram.h"

namespace {

constexpr double kByteTimeS = 10.0 / 115200.0;
constexpr double kOpeningPauseS = 0.05 + 0.2;

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    SimProgram sim({"--model", "VRTA710", "--pace"});
    if (!sim.ok()) {
        std::fprintf(stderr, "bench_register_file: %s\n", sim.error().c_str());
        return 1;
    }
    RealPath path(sim.link());
    QTemporaryDir folder;
    const std::string file = folder.filePath("VRTA710_00001234_wifi.txt").toStdString();
    RecordingSink sink;
    sink.answer = [&file](const Question&) { return Answer::Path(file); };
    OperationContext context{path.link, sink, folder.path().toStdString()};

    double readTotal = 0.0;
    double writeTotal = 0.0;
    for (int round = 0; round < rounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        if (!ReadAllRegisters(context).ok()) {
            std::fprintf(stderr, "read-all failed: %s\n", sink.Text().c_str());
            return 1;
        }
        readTotal += Seconds(start);
        start = std::chrono::steady_clock::now();
        if (!WriteAllRegisters(context).ok()) {
            std::fprintf(stderr, "write-all failed: %s\n", sink.Text().c_str());
            return 1;
        }
        writeTotal += Seconds(start);
    }
    // 28 reads: request 7 bytes, answer 7 + data (about 8) bytes; 24 writes: 7 + value, answer 7.
    const double readLine = (6 + 37 + 28 * (7 + 7 + 8)) * kByteTimeS;
    const double writeLine = (6 + 37 + 24 * (7 + 8 + 7)) * kByteTimeS;
    std::printf("read-all  %.3f s a run (opening pause %.2f s, bytes on the line about %.3f s)\n", readTotal / rounds,
                kOpeningPauseS, readLine);
    std::printf("write-all %.3f s a run (opening pause %.2f s, bytes on the line about %.3f s)\n", writeTotal / rounds,
                kOpeningPauseS, writeLine);
    return 0;
}
