// One board programmed through its STM32 bootloader on any serial port path, timed against the
// limit the line and the part set:
//   firmware_upload [--window] --port PATH --baud B [--stats FILE] [--sim-log FILE] [--erase-ms E]
//                   [--prog-ms P] IMAGE
//   firmware_upload --stm32flash --port PATH --baud B --stats FILE [--sim-log FILE] IMAGE
// The first runs the tool's single-board sequence (port preparation, sync, mass erase, pages, Go):
// without --window through a sink without widgets, with --window through the main window (the
// Upload tab's target QSVERIFs-MAX, which takes any .bin, the file chosen and Start clicked, as
// the technician does). The second runs Debian's stm32flash -m 8n1 -w (no verify) the same way,
// for comparison.
//
// Limit = bytes on the line at 11 bits a byte (both directions: the protocol is half duplex)
//       + the part's own erase and programming time
//       + the pauses the sequence makes on purpose (2.4 s; none for stm32flash).
// With --stats, the byte counts, answers and busy times come from `servicetool-sim --stats FILE`,
// which rewrites FILE whenever a client closes the port; without, the tool's own counts are used
// with the erase and programming times given (defaults: the simulator's). With --sim-log, the
// byte log of that simulator (`servicetool-sim --log FILE`, --stats needed) gives the gaps from its
// last answer byte to the next request byte, per kind of exchange.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "BenchWindow.h"
#include "ByteLogGaps.h"
#include "firmware/FirmwareUpload.h"
#include "platform/QtHost.h"
#include "platform/QtSerialPort.h"
#include "CountingPort.h"
#include "ProcessClock.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDialogs.h"

extern char** environ;

namespace {

constexpr double kBitsPerByte = 11.0;
// SetupBootPort 50 ms, OpenBootPort 150 ms, then 200 + 500 + 500 + 1000 ms between the steps.
constexpr double kSequencePausesS = 2.4;
// The window's target that takes any .bin file.
constexpr const char* kAnyBinTarget = "QSVERIFs-MAX";

struct Options {
    std::string port;
    int baud = 0;
    std::string image;
    std::string stats;
    std::string simLog;
    bool stm32flash = false;
    bool window = false;
    double eraseS = 0.5;
    double programS = 0.001;
};

// Counts like CountingPort and times the tool's own reaction: from the last byte of an answer in
// hand to the next request written (pauses of the sequence left out).
class TimedPort : public CountingPort {
public:
    explicit TimedPort(SerialPort& port) : CountingPort(port) {}

    std::vector<double> reactions;

    bool ReadByte(std::uint8_t& byte) override
    {
        const bool read = CountingPort::ReadByte(byte);
        if (read)
            lastByteAt_ = Seconds();
        return read;
    }
    bool Write(const Bytes& bytes) override
    {
        const double now = Seconds();
        if (lastByteAt_ > 0.0 && now - lastByteAt_ < kPauseS)
            reactions.push_back(now - lastByteAt_);
        lastByteAt_ = 0.0;
        return CountingPort::Write(bytes);
    }

private:
    static constexpr double kPauseS = 0.005;
    static double Seconds()
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
    double lastByteAt_ = 0.0;
};

struct Figures {
    double wall = 0.0;
    double cpu = 0.0;
    double bytes = 0.0;
    double exchanges = 0.0;
    double busy = 0.0;
    double pauses = 0.0;
    bool ok = false;
    std::vector<double> reactions;  // the tool's own, when it is the tool that ran
};

double Seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

timespec Modified(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mtim : timespec{};
}

// The simulator's counters, once it has rewritten the file after `before`.
std::map<std::string, double> NewStats(const std::string& path, const timespec& before)
{
    for (int attempt = 0; attempt < 300; ++attempt) {
        const timespec now = Modified(path);
        if (now.tv_sec != before.tv_sec || now.tv_nsec != before.tv_nsec) {
            std::map<std::string, double> values;
            std::ifstream file(path);
            std::string key;
            double value = 0.0;
            while (file >> key >> value)
                values[key] = value;
            if (values.size() >= 5)
                return values;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

Figures RunTool(const Options& options)
{
    qputenv("SERVICETOOL_PORT_MAP", QByteArray("1=") + options.port.c_str());
    QtHost host;
    QtSerialPort serial{PortResolver()};
    TimedPort port(serial);
    ScriptedDialogs dialogs;
    SerialLink link(port, host, dialogs);
    link.CommPortNumber = 1;
    link.BaudText = std::to_string(options.baud);

    std::unique_ptr<BenchWindow> window;
    if (options.window) {
        window = std::make_unique<BenchWindow>(link, host, dialogs);
        if (!window->Start()) {
            std::fprintf(stderr, "the window did not start\n");
            return {};
        }
        window->Choose("cmbUploadTipoStrum", kAnyBinTarget);
        (options.baud == 115200 ? window->form().mnu115200 : window->form().mnu57600)->trigger();
        window->AnswerFileDialog(options.image);
        window->Click("CmdBrowse");
    }
    RecordingSink sink;
    OperationContext context{link, sink, {}};

    const timespec statsBefore = Modified(options.stats);
    Figures f;
    const double cpuStart = ProcessCpuSeconds();
    const double start = host.Now();
    std::string log;
    int pages = 0;
    if (window) {
        window->Click("CmdStartProg");
        log = window->form().Upload->StatusText();
        f.ok = log.find("Upload completed succefully") != std::string::npos;
        pages = static_cast<int>((QFile(QString::fromStdString(options.image)).size() + 255) / 256);
    } else {
        const FirmwareResult result = UploadFirmware(context, {"", options.image, false});
        log = sink.Text();
        f.ok = result.ok();
        pages = result.pagesWritten;
    }
    f.wall = host.Now() - start;
    f.cpu = ProcessCpuSeconds() - cpuStart;
    if (!f.ok)
        std::fprintf(stderr, "%s\n", log.c_str());
    f.pauses = kSequencePausesS;
    f.reactions = port.reactions;
    if (!options.stats.empty()) {
        const auto stats = NewStats(options.stats, statsBefore);
        f.bytes = stats.count("bytes_in") ? stats.at("bytes_in") + stats.at("bytes_out") : 0.0;
        f.exchanges = stats.count("exchanges") ? stats.at("exchanges") : 0.0;
        f.busy = stats.count("erase_s") ? stats.at("erase_s") + stats.at("program_s") : 0.0;
    } else {
        f.bytes = static_cast<double>(port.bytesOut + port.bytesIn);
        f.exchanges = static_cast<double>(port.writes);
        f.busy = options.eraseS + pages * options.programS;
    }
    return f;
}

Figures RunStm32flash(const Options& options)
{
    std::vector<std::string> arguments{"/usr/bin/stm32flash", "-m", "8n1", "-b", std::to_string(options.baud),
                                       "-w", options.image, options.port};
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    const timespec statsBefore = Modified(options.stats);
    Figures f;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start stm32flash\n");
        return f;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    f.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const auto stats = NewStats(options.stats, statsBefore);
    f.bytes = stats.count("bytes_in") ? stats.at("bytes_in") + stats.at("bytes_out") : 0.0;
    f.exchanges = stats.count("exchanges") ? stats.at("exchanges") : 0.0;
    f.busy = stats.count("erase_s") ? stats.at("erase_s") + stats.at("program_s") : 0.0;
    return f;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: firmware_upload [--window] --port PATH --baud B [--stats FILE] [--sim-log FILE] [--erase-ms E]\n"
                 "                       [--prog-ms P] IMAGE\n"
                 "       firmware_upload --stm32flash --port PATH --baud B --stats FILE [--sim-log FILE] IMAGE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    bool window = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--stm32flash")
            options.stm32flash = true;
        else if (arg == "--window")
            window = true;
        else if (arg == "--sim-log" && hasValue)
            options.simLog = argv[++i];
        else if (arg == "--port" && hasValue)
            options.port = argv[++i];
        else if (arg == "--baud" && hasValue)
            options.baud = std::atoi(argv[++i]);
        else if (arg == "--stats" && hasValue)
            options.stats = argv[++i];
        else if (arg == "--erase-ms" && hasValue)
            options.eraseS = std::atof(argv[++i]) / 1000.0;
        else if (arg == "--prog-ms" && hasValue)
            options.programS = std::atof(argv[++i]) / 1000.0;
        else if (arg.rfind("--", 0) != 0 && options.image.empty())
            options.image = arg;
        else
            return Usage();
    }
    if (options.port.empty() || options.baud <= 0 || options.image.empty() ||
        ((options.stm32flash || !options.simLog.empty()) && options.stats.empty()) || (window && options.stm32flash))
        return Usage();
    options.window = window;
    const auto app = MakeBenchApplication(argc, argv, window);

    const Figures f = options.stm32flash ? RunStm32flash(options) : RunTool(options);
    const double line = f.bytes * kBitsPerByte / options.baud;
    const double limit = line + f.busy + f.pauses;
    const double beyond = f.wall - limit;
    const char* program = options.stm32flash ? "stm32flash -m 8n1 -w"
                          : options.window   ? "single-board sequence, window"
                                             : "single-board sequence, no widgets";
    std::printf("%s, %s at %d baud: %s\n", program,
                options.image.c_str(), options.baud, f.ok ? "programmed" : "FAILED");
    std::printf("wall time                 %9.3f s\n", f.wall);
    std::printf("limit                     %9.3f s\n", limit);
    std::printf("  bytes on the line       %9.3f s  (%.0f bytes at 11 bits)\n", line, f.bytes);
    std::printf("  erase and programming   %9.3f s  (the part's own)\n", f.busy);
    std::printf("  pauses of the sequence  %9.3f s\n", f.pauses);
    std::printf("ratio wall/limit          %9.4f\n", f.wall / limit);
    std::printf("exchanges                 %9.0f\n", f.exchanges);
    std::printf("overhead per exchange     %9.3f ms\n", f.exchanges > 0 ? 1000.0 * beyond / f.exchanges : 0.0);
    std::printf("CPU                       %9.3f s  (%.2f %% of the wall time)\n", f.cpu, 100.0 * f.cpu / f.wall);
    if (!f.reactions.empty()) {
        std::vector<double> r = f.reactions;
        std::sort(r.begin(), r.end());
        double sum = 0.0;
        for (const double x : r)
            sum += x;
        std::printf("reaction, answer to next  %9.3f ms median, %.3f ms mean, %.3f ms 99th percentile\n",
                    1000.0 * r[r.size() / 2], 1000.0 * sum / static_cast<double>(r.size()),
                    1000.0 * r[r.size() * 99 / 100]);
    }
    if (!options.simLog.empty())
        gaps::Print(gaps::AnalyseBootLog(options.simLog), "gaps, simulator's last answer byte to the next request byte", 10);
    return f.ok ? 0 : 1;
}
