// The Download of the Down mem tab against `servicetool-sim --pace` through a pseudo-terminal and
// the real serial port: the EEPROM and flash pages F..T, as the tab runs it (same operation, a sink
// without widgets; with --window through the main window itself, offscreen, Download clicked).
// Prints the wall time against the time the bytes take on the line at 115200 baud (10 bits a
// byte, request and answer of every exchange), the CPU time and the peak memory, the tool's gaps
// from the simulator's last answer byte to its next request byte (the simulator's byte log) per
// command, and checks the images against what the simulated instrument holds. With --cli the same
// range is then saved by `servicetool-cli backup` against a fresh simulator, and its wall time
// (process start included) is set against the same line-rate time.
//   bench_download [--window] [--quick] [--from F] [--to T] [--cli]   (pages 0..2047; --quick: 0..63)
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "BenchSink.h"
#include "BenchWindow.h"
#include "ByteLogGaps.h"
#include "core/ResultCodes.h"
#include "link/SerialLink.h"
#include "memory/ImageFiles.h"
#include "memory/MemoryDownload.h"
#include "params/ParamCatalogue.h"
#include "platform/QtHost.h"
#include "platform/QtSerialPort.h"
#include "sim/SimInstrument.h"
#include "CountingPort.h"
#include "ProcessClock.h"
#include "support/RunProgram.h"
#include "support/ScriptedDialogs.h"
#include "support/SimProgram.h"

namespace {

constexpr double kBaud = 115200.0;
constexpr double kBitsPerByte = 10.0;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Empty when the images hold what the instrument holds, else what is wrong.
std::string CheckImages(const QTemporaryDir& folder, int first, int last)
{
    const QStringList eprs = QDir(folder.path()).entryList({"*.epr"}, QDir::Files);
    const QStringList flas = QDir(folder.path()).entryList({"*.fla"}, QDir::Files);
    if (eprs.size() != 1 || flas.size() != 1)
        return "expected one .epr and one .fla";
    const QByteArray eeprom = ReadAll(folder.filePath(eprs[0]));
    if (eeprom.size() != kEepromSize)
        return ".epr holds " + std::to_string(eeprom.size()) + " bytes";
    for (int a = 0; a < kEepromSize; ++a)
        if (static_cast<std::uint8_t>(eeprom[a]) != SimInstrument::EepromPattern(a))
            return ".epr differs at " + std::to_string(a);
    const QByteArray flash = ReadAll(folder.filePath(flas[0]));
    const qsizetype expected = static_cast<qsizetype>(last - first + 1) * kFlashPageSize;
    if (flash.size() != expected)
        return ".fla holds " + std::to_string(flash.size()) + " bytes, not " + std::to_string(expected);
    const auto base = static_cast<std::uint32_t>(first) * kFlashPageSize;
    for (qsizetype i = 0; i < flash.size(); ++i)
        if (static_cast<std::uint8_t>(flash[i]) != SimInstrument::FlashPattern(base + static_cast<std::uint32_t>(i)))
            return ".fla differs at offset " + std::to_string(i);
    return {};
}

// The same range saved by servicetool-cli; 0 when its images are right.
int CompareWithCli(int first, int last, double lineTime, double windowRatio)
{
    SimProgram sim({"--pace"});
    QTemporaryDir folder;
    QTemporaryDir settings;
    if (!sim.ok() || !folder.isValid() || !settings.isValid()) {
        std::fprintf(stderr, "no simulator or temporary folder for the command line run\n");
        return 1;
    }
    std::printf("\nthe same through servicetool-cli backup (a process of its own)\n");
    std::fflush(stdout);
    const auto started = std::chrono::steady_clock::now();
    const ProgramRun run = RunProgram({SimProgram::BinFolder() + "/servicetool-cli", "--port", sim.link(), "backup",
                                       "--eeprom", "--flash", std::to_string(first) + "-" + std::to_string(last),
                                       "--out", folder.path().toStdString()},
                                      {"XDG_CONFIG_HOME=" + settings.path().toStdString()}, 3600 * 1000);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string wrong = run.exitCode == 0 ? CheckImages(folder, first, last) : "exit status " + std::to_string(run.exitCode);
    std::printf("wall time        %10.3f s\n", wall);
    std::printf("ratio wall/line  %10.4f (the window's operation: %.4f; difference %+.4f)\n", wall / lineTime,
                windowRatio, wall / lineTime - windowRatio);
    std::printf("images           %s\n", wrong.empty() ? "match the instrument" : wrong.c_str());
    return wrong.empty() ? 0 : 1;
}

int Usage()
{
    std::fprintf(stderr, "usage: bench_download [--window] [--quick] [--from F] [--to T] [--cli]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    int first = 0;
    int last = kFlashLastPage;
    bool cli = false;
    bool window = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--window")
            window = true;
        else if (arg == "--quick")
            last = 63;
        else if (arg == "--from" && i + 1 < argc)
            first = std::atoi(argv[++i]);
        else if (arg == "--to" && i + 1 < argc)
            last = std::atoi(argv[++i]);
        else if (arg == "--cli")
            cli = true;
        else
            return Usage();
    }
    if (first < 0 || last > kFlashLastPage || first > last)
        return Usage();
    const auto app = MakeBenchApplication(argc, argv, window);

    QTemporaryDir logFolder;
    const std::string lineLog = logFolder.filePath("line.log").toStdString();
    auto sim = std::make_unique<SimProgram>(std::vector<std::string>{"--pace", "--log", lineLog});
    if (!sim->ok()) {
        std::fprintf(stderr, "%s\n", sim->error().c_str());
        return 1;
    }
    qputenv("SERVICETOOL_PORT_MAP", QByteArray("1=") + sim->link().c_str());

    QtHost host;
    QtSerialPort serial{PortResolver()};
    CountingPort port(serial);
    ScriptedDialogs dialogs;
    SerialLink link(port, host, dialogs);
    link.CommPortNumber = 1;
    link.BaudText = "115200";
    ParamCatalogue catalogue;
    catalogue.LoadFamily("31400 QMX, VERTA");

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    BenchSink sink(host, folder.filePath("chosen").toStdString(), "Download  FLASH");
    OperationContext context{link, sink, folder.path().toStdString()};
    const DownloadRequest request{catalogue, true, true, false, std::to_string(first), std::to_string(last)};
    std::unique_ptr<BenchWindow> form;
    if (window) {
        form = std::make_unique<BenchWindow>(link, host, dialogs, "31400-flashopen\r\n");
        if (!form->Start()) {
            std::fprintf(stderr, "the window did not start\n");
            return 1;
        }
        form->PrepareDownMem(first, last, folder.filePath("chosen").toStdString());
    }

    std::printf("download of the EEPROM and pages %d..%d from %s (paced, 115200 baud, %s)\n", first, last,
                sim->link().c_str(), window ? "through the window" : "no widgets");
    std::fflush(stdout);
    const double cpuStart = ProcessCpuSeconds();
    const double start = host.Now();
    int code = code::kOk;
    if (form)
        form->Click("cmdDownDwData");
    else
        code = NumberOf(DownloadMemory(context, request).code);
    const double wall = host.Now() - start;
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const std::string log = form ? form->form().DownMem->StatusText() : sink.Text();
    sim.reset();  // the simulator ends, its byte log complete

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    const double lineTime = static_cast<double>(port.bytesOut + port.bytesIn) * kBitsPerByte / kBaud;
    const std::string wrong = code == code::kOk ? CheckImages(folder, first, last) : "the download failed";

    if (!form)
        std::printf("result code %d; ", code);
    std::printf("%zu exchanges, %zu bytes sent, %zu bytes received\n", port.writes, port.bytesOut, port.bytesIn);
    if (sink.stageStart >= 0.0)
        std::printf("EEPROM stage and set-up %.3f s, flash stage %.3f s\n", sink.stageStart - start,
                    start + wall - sink.stageStart);
    const gaps::Report reactions = gaps::AnalyseInstrumentLog(lineLog);
    std::printf("wall time        %10.3f s\n", wall);
    std::printf("line-rate time   %10.3f s\n", lineTime);
    std::printf("ratio wall/line  %10.4f\n", wall / lineTime);
    std::printf("CPU time         %10.3f s (%.2f %% of the wall time; user %.3f s, system %.3f s in all)\n", cpu,
                100.0 * cpu / wall, seconds(usage.ru_utime), seconds(usage.ru_stime));
    std::printf("peak memory      %10.1f MiB (maximum resident set)\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::printf("images           %s\n", wrong.empty() ? "match the instrument" : wrong.c_str());
    gaps::Print(reactions, "gaps, the simulator's last answer byte to the next request byte");
    std::printf("the tool's gaps  %10.3f s, %.3f %% of the line-rate time\n", gaps::ReactionSum(reactions),
                100.0 * gaps::ReactionSum(reactions) / lineTime);
    if (!wrong.empty())
        std::printf("log:\n%s\n", log.c_str());
    if (!dialogs.messages.empty())
        std::printf("message shown: %s\n", dialogs.messages.front().text.c_str());
    if (!sink.notices.empty())
        std::printf("message shown: %s\n", sink.notices.front().text.c_str());
    if (!wrong.empty())
        return 1;
    return cli ? CompareWithCli(first, last, lineTime, wall / lineTime) : 0;
}
