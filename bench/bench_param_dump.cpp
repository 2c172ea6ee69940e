// The parameter dump (`servicetool-cli param dump`) against `servicetool-sim --pace` through a
// pseudo-terminal at 115200 baud: every index of the instrument's family read in turn. Runs the
// operation in this process (a sink without widgets), then the command line as the technician
// runs it (a process of its own, its start included), each against a fresh simulator writing its
// byte log. From the log: the time the bytes take on the line (10 bits a byte, both directions),
// the simulator's own answer delays (a request's last byte to its answer's first), and the tool's
// gaps (an answer's last byte to the next request's first). The limit is the line time plus the
// simulator's delays; the figure is the wall time against it.
//   bench_param_dump [--operation-only]
#include <QCoreApplication>
#include <QTemporaryDir>
#include <ctime>
#include <cstdio>
#include <memory>
#include <string>

#include "ByteLogGaps.h"
#include "ProcessClock.h"
#include "core/ResultCodes.h"
#include "link/SerialLink.h"
#include "params/ParamSheet.h"
#include "platform/QtHost.h"
#include "platform/QtSerialPort.h"
#include "support/RecordingSink.h"
#include "support/RunProgram.h"
#include "support/ScriptedDialogs.h"
#include "support/SimProgram.h"

namespace {

// The clock of the simulator's byte log.
double MonotonicNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

constexpr double kBaud = 115200.0;
constexpr double kBitsPerByte = 10.0;

// What the simulator's byte log says about a run.
struct LineFigures {
    double lineTime = 0.0;    // every byte at the line rate
    double simDelays = 0.0;   // the simulator's reactions to requests
    double toolGaps = 0.0;    // the tool's reactions to answers (pauses over 5 ms apart)
    double toolPauses = 0.0;
    double firstRequest = 0.0;
    double span = 0.0;        // the first request's first byte to the last answer's last
    std::size_t requests = 0;
    gaps::Report reactions;
};

LineFigures FiguresOf(const std::string& lineLog)
{
    const std::vector<gaps::Turn> turns = gaps::ReadTurns(lineLog);
    LineFigures figures;
    for (std::size_t i = 0; i < turns.size(); ++i) {
        figures.lineTime += static_cast<double>(turns[i].bytes.size()) * kBitsPerByte / kBaud;
        if (turns[i].fromTool)
            ++figures.requests;
        else if (i >= 1 && turns[i - 1].fromTool)
            figures.simDelays += turns[i].first - turns[i - 1].last;
    }
    if (!turns.empty()) {
        figures.firstRequest = turns.front().first;
        figures.span = turns.back().last - turns.front().first;
    }
    figures.reactions = gaps::Analyse(turns, gaps::InstrumentRequestName);
    figures.toolGaps = gaps::ReactionSum(figures.reactions);
    figures.toolPauses = figures.reactions.pauses.Sum();
    return figures;
}

void PrintFigures(const char* title, double start, double wall, const LineFigures& f)
{
    const double limit = f.lineTime + f.simDelays;
    std::printf("%s\n", title);
    std::printf("  requests             %10zu\n", f.requests);
    std::printf("  wall time            %10.3f s\n", wall);
    std::printf("  line time            %10.3f s\n", f.lineTime);
    std::printf("  simulator's delays   %10.3f s\n", f.simDelays);
    std::printf("  limit (line + delays)%10.3f s\n", limit);
    std::printf("  ratio wall/limit     %10.4f\n", wall / limit);
    // The port's opening pauses are the same for any dump, however long.
    const double openPauses = kInitRawModePauseS + kInitSettlePauseS;
    std::printf("  with the port's opening pauses (%.3f s) in the limit: ratio %.4f\n", openPauses,
                wall / (limit + openPauses));
    std::printf("  before the first request %6.3f s (the port opened and settled)\n", f.firstRequest - start);
    std::printf("  first request to last answer %.3f s, ratio %.4f to the limit\n", f.span, f.span / limit);
    std::printf("  the tool's gaps      %10.3f s (%.2f %% of the limit), pauses over 5 ms %.3f s\n", f.toolGaps,
                100.0 * f.toolGaps / limit, f.toolPauses);
    gaps::Print(f.reactions, "  the tool's gaps by exchange");
}

int RunOperation(QTemporaryDir& folder)
{
    const std::string lineLog = folder.filePath("operation.log").toStdString();
    auto sim = std::make_unique<SimProgram>(std::vector<std::string>{"--pace", "--log", lineLog});
    if (!sim->ok()) {
        std::fprintf(stderr, "%s\n", sim->error().c_str());
        return 1;
    }
    qputenv("SERVICETOOL_PORT_MAP", QByteArray("1=") + sim->link().c_str());
    QtHost host;
    QtSerialPort port{PortResolver()};
    ScriptedDialogs dialogs;
    SerialLink link(port, host, dialogs);
    link.CommPortNumber = 1;
    link.BaudText = "115200";
    RecordingSink sink;
    OperationContext context{link, sink, folder.path().toStdString()};

    const double cpuStart = ProcessCpuSeconds();
    const double start = MonotonicNow();
    const ParamSheetResult result = ReadParameterSheet(context, {});
    const double wall = MonotonicNow() - start;
    const double cpu = ProcessCpuSeconds() - cpuStart;
    sim.reset();  // the simulator ends, its byte log complete

    std::size_t refused = 0;
    for (const ParamSheetRow& row : result.sheet.rows)
        refused += row.value ? 0 : 1;
    std::printf("result code %d, %zu indexes of family %s read, %zu refused, %s\n", NumberOf(result.code),
                result.sheet.rows.size(), result.sheet.familyCode.c_str(), refused,
                result.complete ? "complete" : "incomplete");
    PrintFigures("the operation in this process (no widgets)", start, wall, FiguresOf(lineLog));
    std::printf("  CPU time             %10.3f s (%.2f %% of the wall time)\n", cpu, 100.0 * cpu / wall);
    return result.code == ResultCode::Ok && result.complete ? 0 : 1;
}

int RunCommandLine(QTemporaryDir& folder)
{
    const std::string lineLog = folder.filePath("cli.log").toStdString();
    auto sim = std::make_unique<SimProgram>(std::vector<std::string>{"--pace", "--log", lineLog});
    QTemporaryDir settings;
    if (!sim->ok() || !settings.isValid()) {
        std::fprintf(stderr, "no simulator or settings folder for the command line run\n");
        return 1;
    }
    const std::string sheet = folder.filePath("sheet.csv").toStdString();
    // The technician's configuration file: parameter editing switched on.
    const std::string config = folder.filePath("Config314x0.cfg").toStdString();
    if (std::FILE* file = std::fopen(config.c_str(), "wb")) {
        std::fputs("31400-paramedit\r\n", file);
        std::fclose(file);
    }
    const double start = MonotonicNow();
    const ProgramRun run = RunProgram({SimProgram::BinFolder() + "/servicetool-cli", "--port", sim->link(),
                                       "--baud", "115200", "--config", config, "param", "dump", "--out", sheet},
                                      {"XDG_CONFIG_HOME=" + settings.path().toStdString()}, 600 * 1000);
    const double wall = MonotonicNow() - start;
    sim.reset();
    std::printf("\nservicetool-cli param dump: exit status %d\n", run.exitCode);
    PrintFigures("the command line (a process of its own, its start included)", start, wall, FiguresOf(lineLog));
    return run.exitCode == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool operationOnly = argc > 1 && std::string(argv[1]) == "--operation-only";
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    std::printf("parameter dump against servicetool-sim --pace at 115200 baud\n");
    const int operation = RunOperation(folder);
    if (operation != 0 || operationOnly)
        return operation;
    return RunCommandLine(folder);
}
