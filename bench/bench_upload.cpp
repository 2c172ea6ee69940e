// The Upload of the Down mem tab against `servicetool-sim --pace` through a pseudo-terminal and
// the real serial port: a 2000-byte EEPROM image and flash pages 0..N-1 (default 256), as the tab
// runs it (same operation, a sink without widgets; with --window through the main window itself,
// offscreen, Upload clicked). Prints the wall time against the time the bytes take on the line at
// 115200 baud (10 bits a byte, request and answer of every exchange), the CPU time and the peak
// memory; then stops the simulator, which saves its memories, checks them against the images, and
// gives the tool's gaps from the simulator's last answer byte to its next request byte (the
// simulator's byte log) per command.
//   bench_upload [--window] [--pages N]    (1..2048)
#include <sys/resource.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "BenchSink.h"
#include "BenchWindow.h"
#include "ByteLogGaps.h"
#include "core/ResultCodes.h"
#include "link/SerialLink.h"
#include "memory/ImageFiles.h"
#include "memory/MemoryUpload.h"
#include "platform/QtHost.h"
#include "platform/QtSerialPort.h"
#include "CountingPort.h"
#include "ProcessClock.h"
#include "support/ScriptedDialogs.h"
#include "support/SimProgram.h"

namespace {

constexpr double kBaud = 115200.0;
constexpr double kBitsPerByte = 10.0;
const char* kBase = "VRTA708_00001234_fwV1.05_250101000000";

Bytes Pattern(std::size_t size, std::uint32_t seed)
{
    Bytes bytes(size);
    std::uint32_t x = seed;
    for (auto& byte : bytes) {
        x = x * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(x >> 16);
    }
    return bytes;
}

bool WriteFile(const QString& path, const Bytes& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size());
}

Bytes ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return Bytes(data.begin(), data.end());
}

// Empty when the instrument's saved memories hold the images, else what is wrong.
std::string CheckMemories(const QTemporaryDir& saved, const Bytes& eeprom, const Bytes& flash)
{
    const Bytes savedEeprom = ReadFile(saved.filePath("eeprom.bin"));
    const Bytes savedFlash = ReadFile(saved.filePath("flash.bin"));
    if (savedEeprom.size() != static_cast<std::size_t>(kEepromSize) || savedFlash.size() < flash.size())
        return "the simulator did not save its memories";
    if (savedEeprom != eeprom)
        return "the EEPROM differs from the image";
    if (!std::equal(flash.begin(), flash.end(), savedFlash.begin()))
        return "the flash differs from the image";
    return {};
}

int Usage()
{
    std::fprintf(stderr, "usage: bench_upload [--window] [--pages N]   (1..2048)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    int pages = 256;
    bool window = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--window")
            window = true;
        else if (arg == "--pages" && i + 1 < argc)
            pages = std::atoi(argv[++i]);
        else
            return Usage();
    }
    if (pages < 1 || pages > kFlashLastPage + 1)
        return Usage();
    const int last = pages - 1;
    const auto app = MakeBenchApplication(argc, argv, window);

    QTemporaryDir images;
    QTemporaryDir saved;
    if (!images.isValid() || !saved.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const Bytes eeprom = Pattern(kEepromSize, 1);
    const Bytes flash = Pattern(static_cast<std::size_t>(pages) * kFlashPageSize, 2);
    const QString epr = images.filePath(QString::fromStdString(EepromImageName(kBase)));
    if (!WriteFile(epr, eeprom) ||
        !WriteFile(images.filePath(QString::fromStdString(FlashImageName(kBase, 0, last))), flash)) {
        std::fprintf(stderr, "cannot write the images\n");
        return 1;
    }

    int code = -1;
    double wall = 0.0;
    double cpu = 0.0;
    double flashStage = 0.0;
    std::size_t bytesOut = 0, bytesIn = 0, writes = 0;
    std::string shown;
    const std::string lineLog = saved.filePath("line.log").toStdString();
    {
        SimProgram sim({"--pace", "--save-memory", saved.path().toStdString(), "--log", lineLog});
        if (!sim.ok()) {
            std::fprintf(stderr, "%s\n", sim.error().c_str());
            return 1;
        }
        qputenv("SERVICETOOL_PORT_MAP", QByteArray("1=") + sim.link().c_str());

        QtHost host;
        QtSerialPort serial{PortResolver()};
        CountingPort port(serial);
        ScriptedDialogs dialogs;
        SerialLink link(port, host, dialogs);
        link.CommPortNumber = 1;
        link.BaudText = "115200";
        BenchSink sink(host, epr.toStdString(), "Upload FLASH");  // the confirmation is answered Yes
        OperationContext context{link, sink, images.path().toStdString()};
        const MemoryUploadRequest request{true, true, false, false, "0", std::to_string(last)};
        std::unique_ptr<BenchWindow> form;
        if (window) {
            form = std::make_unique<BenchWindow>(link, host, dialogs, "31400-flashopen\r\n");
            if (!form->Start()) {
                std::fprintf(stderr, "the window did not start\n");
                return 1;
            }
            form->PrepareDownMem(0, last, epr.toStdString());  // the confirmation is answered Yes
        }

        std::printf("upload of the EEPROM and pages 0..%d into %s (paced, 115200 baud, %s)\n", last,
                    sim.link().c_str(), window ? "through the window" : "no widgets");
        std::fflush(stdout);
        const double cpuStart = ProcessCpuSeconds();
        const double start = host.Now();
        if (form) {
            form->Click("cmdDownUpData");
            code = code::kOk;  // the memories the simulator saves tell
        } else {
            code = NumberOf(UploadMemory(context, request).code);
        }
        wall = host.Now() - start;
        cpu = ProcessCpuSeconds() - cpuStart;
        flashStage = sink.stageStart >= 0.0 ? start + wall - sink.stageStart : 0.0;
        bytesOut = port.bytesOut;
        bytesIn = port.bytesIn;
        writes = port.writes;
        if (!sink.notices.empty())
            shown = sink.notices.back().text;
        else if (!dialogs.messages.empty())
            shown = dialogs.messages.back().text;
        const std::string log = form ? form->form().DownMem->StatusText() : sink.Text();
        if (code != code::kOk || (form && log.find(" Pages 0-" + std::to_string(last) + "  OK") == std::string::npos))
            std::printf("log:\n%s\n", log.c_str());
    }  // the simulator stops here and saves its memories

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    const double lineTime = static_cast<double>(bytesOut + bytesIn) * kBitsPerByte / kBaud;
    const std::string wrong = code == code::kOk ? CheckMemories(saved, eeprom, flash) : "the upload failed";

    if (!window)
        std::printf("result code %d; ", code);
    std::printf("%zu exchanges, %zu bytes sent, %zu bytes received\n", writes, bytesOut, bytesIn);
    if (!window)
        std::printf("EEPROM stage and set-up %.3f s, flash stage %.3f s\n", wall - flashStage, flashStage);
    std::printf("wall time        %10.3f s\n", wall);
    std::printf("line-rate time   %10.3f s\n", lineTime);
    std::printf("ratio wall/line  %10.4f\n", wall / lineTime);
    std::printf("CPU time         %10.3f s (%.2f %% of the wall time; user %.3f s, system %.3f s in all)\n", cpu,
                100.0 * cpu / wall, seconds(usage.ru_utime), seconds(usage.ru_stime));
    std::printf("peak memory      %10.1f MiB (maximum resident set)\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::printf("memories         %s\n", wrong.empty() ? "hold the images" : wrong.c_str());
    const gaps::Report reactions = gaps::AnalyseInstrumentLog(lineLog);
    gaps::Print(reactions, "gaps, the simulator's last answer byte to the next request byte");
    std::printf("the tool's gaps  %10.3f s, %.3f %% of the line-rate time\n", gaps::ReactionSum(reactions),
                100.0 * gaps::ReactionSum(reactions) / lineTime);
    if (!shown.empty())
        std::printf("message shown: %s\n", shown.c_str());
    return wrong.empty() ? 0 : 1;
}
