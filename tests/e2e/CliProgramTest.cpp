// servicetool-cli as a technician's script runs it: the program, through a pseudo-terminal and
// QSerialPort, against the simulator program. Exit statuses, what it prints, the files it saves,
// and the simulated instrument's memories afterwards.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "params/ParamSheet.h"
#include "sim/SimInstrument.h"
#include "support/Files.h"
#include "support/FirmwareImages.h"
#include "support/RunProgram.h"
#include "support/SimProgram.h"
#include "support/TempFolder.h"

namespace {

constexpr int kPage = 4096;

struct Folder {
    QTemporaryDir dir;
    std::string Path(const std::string& name = "") const
    {
        return name.empty() ? dir.path().toStdString() : dir.filePath(QString::fromStdString(name)).toStdString();
    }
    std::string Write(const std::string& name, const Bytes& bytes) const { return WriteFileBytes(Path(name), bytes); }
    std::vector<std::string> Files() const { return FileNamesIn(Path()); }
};

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t size)
{
    if (from + size > bytes.size())
        return {};
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + size));
}

// A feature configuration file: every line given, CR LF after each.
std::string ConfigFile(const std::string& name, const std::vector<std::string>& lines)
{
    static TempFolder folder;
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return WriteFileText(folder.Path(name), text);
}

// Every command switched on, as a technician's configuration file for the service tool does.
const std::string& EveryFeature()
{
    static const std::string path = ConfigFile("every.cfg", {"31400-flashopen", "31400-paramedit", "31400-EeWipeFull",
                                                             "31400-WlanOps", "314x0-CalStmp"});
    return path;
}

// servicetool-cli on the simulator's port, with settings of its own (never the user's) and every
// feature of the configuration file switched on.
struct Cli {
    explicit Cli(const SimProgram& sim) : link(sim.link()) {}

    ProgramRun Run(std::vector<std::string> arguments, int timeoutMs = 60000,
                   const std::function<int(const ProgramRun&, double)>& interruptWhen = {}) const
    {
        arguments.insert(arguments.begin(),
                         {SimProgram::BinFolder() + "/servicetool-cli", "--port", link, "--config", EveryFeature()});
        return RunProgram(arguments, {"XDG_CONFIG_HOME=" + settings.path().toStdString(), "SERVICETOOL_PORT_MAP"},
                          timeoutMs, interruptWhen);
    }

    std::string link;
    QTemporaryDir settings;
};

bool Says(const ProgramRun& run, const std::string& text)
{
    return run.err.find(text) != std::string::npos;
}

}  // namespace

TEST(CliProgram, IdentifiesReadsAndWritesParametersAndTheCalibrationDate)
{
    SimProgram sim({"--fw-version", "2.130.07  0921"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const Cli cli(sim);

    ProgramRun run = cli.Run({"info"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "VRTA708 00001234 2.13\n");
    EXPECT_TRUE(Says(run, "VRTA708 SN. 00001234\n  fw:2.13\n")) << run.err;

    run = cli.Run({"param", "set", "12", "300"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Says(run, "Writing OK")) << run.err;
    run = cli.Run({"--json", "param", "get", "12"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"index\":12,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"value\":\"300\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"status\":0,"), std::string::npos) << run.out;

    // Another model named: refused once the instrument has said what it is.
    run = cli.Run({"--model", "VRTA710", "info"});
    EXPECT_EQ(run.exitCode, 21) << run.err;
    EXPECT_TRUE(Says(run, "the instrument is VRTA708, not VRTA710: nothing was done")) << run.err;
    EXPECT_EQ(run.out, "");

    run = cli.Run({"caldate", "set", "7/3/24"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Says(run, "[DATE UPDATED] Calibration DATE  updated !!!\nCalibration DATE  updated\n")) << run.err;
    run = cli.Run({"caldate", "get"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "7/3/24\n");
}

// A backup of one instrument, changed on disk, written into another: its memories then hold the
// files exactly, although the second instrument refuses page 5 once.
TEST(CliProgram, BackupOfOneInstrumentRestoredIntoAnother)
{
    Folder backups;
    std::string epr;
    std::string fla;
    {
        SimProgram first({"--serial", "00000001"});
        ASSERT_TRUE(first.ok()) << first.error();
        const ProgramRun run = Cli(first).Run({"backup", "--eeprom", "--flash", "0-27", "--out", backups.Path()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::vector<std::string> files = backups.Files();
        ASSERT_EQ(files.size(), 2u);
        epr = backups.Path(files[0]);
        fla = backups.Path(files[1]);
        EXPECT_EQ(run.out, epr + "\n" + fla + "\n");
        EXPECT_TRUE(files[0].rfind("VRTA708_00000001_fwV1.05_", 0) == 0 && files[0].size() == 41) << files[0];
        EXPECT_EQ(files[1], files[0].substr(0, 37) + "_0000-0027.fla");
    }
    // What the second instrument must end up holding.
    Bytes eeprom = ReadFileBytes(epr);
    Bytes flash = ReadFileBytes(fla);
    ASSERT_EQ(eeprom.size(), 2000u);
    ASSERT_EQ(flash.size(), 28u * kPage);
    for (auto& b : eeprom)
        b ^= 0x5A;
    for (auto& b : flash)
        b ^= 0xA5;
    backups.Write(QFileInfo(QString::fromStdString(epr)).fileName().toStdString(), eeprom);
    backups.Write(QFileInfo(QString::fromStdString(fla)).fileName().toStdString(), flash);

    Folder saved;
    {
        SimProgram second({"--serial", "00000002", "--save-memory", saved.Path(), "--fault", "busy,cmd=0xE6,target=0x5000,times=1"});
        ASSERT_TRUE(second.ok()) << second.error();
        const ProgramRun run = Cli(second).Run({"restore", epr, fla, "--yes"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(Says(run, "[Warning] This operation WRITE ")) << run.err;
        EXPECT_TRUE(Says(run, " Pages 0-27  OK")) << run.err;
    }
    EXPECT_EQ(ReadFileBytes(saved.Path("eeprom.bin")), eeprom);
    EXPECT_EQ(Slice(ReadFileBytes(saved.Path("flash.bin")), 0, flash.size()), flash);
}

// Ctrl-C during a backup: the page under way ends, the image holds whole pages, the exit status is 130.
TEST(CliProgram, CtrlCStopsABackupAndLeavesWholeFiles)
{
    SimProgram sim({"--pace"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    Folder out;
    const ProgramRun run = Cli(sim).Run({"backup", "--flash", "0-2047", "--out", out.Path()}, 60000,
                                        [](const ProgramRun&, double seconds) { return seconds > 2.0; });
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_TRUE(Says(run, "stopping after the current block or page")) << run.err;
    EXPECT_TRUE(Says(run, " Aborted ... ")) << run.err;
    const std::vector<std::string> files = out.Files();
    ASSERT_EQ(files.size(), 1u);
    const Bytes image = ReadFileBytes(out.Path(files[0]));
    EXPECT_GT(image.size(), 0u);
    EXPECT_EQ(image.size() % kPage, 0u);
    for (std::size_t i = 0; i < image.size(); i += 997)
        ASSERT_EQ(image[i], SimInstrument::FlashPattern(static_cast<std::uint32_t>(i))) << i;
}

// Ctrl-C while the instrument takes its time to answer: a command that is not a transfer stops at
// once, reports nothing as read or written, says so and exits 130.
TEST(CliProgram, CtrlCDuringAnExchangeStopsTheCommandAtOnce)
{
    const std::vector<std::vector<std::string>> commands{
        {"info"}, {"param", "get", "12"}, {"param", "set", "12", "300"}, {"caldate", "get"}, {"wifi", "get", "0x12"},
    };
    for (const auto& command : commands) {
        std::string words;
        for (const std::string& word : command)
            words += (words.empty() ? "" : " ") + word;
        // Every answer frame comes 0.9 s after its ACK: the first exchange is under way from about
        // 0.3 s to 1.2 s after the start.
        SimProgram sim({"--model", "VRTA710", "--fault", "slowframe,delay=0.9"});
        ASSERT_TRUE(sim.ok()) << sim.error();
        const ProgramRun run =
            Cli(sim).Run(command, 60000, [](const ProgramRun&, double seconds) { return seconds > 0.7; });
        EXPECT_EQ(run.exitCode, 130) << words << "\n" << run.err;
        EXPECT_EQ(run.err, "servicetool-cli: " + words + ": stopped with Ctrl-C\n") << words;
        EXPECT_EQ(run.out, "") << words;
    }
}

// Ctrl-C during a parameter dump: the index under way is finished, the sheet holds every index
// read so far, whole, and the exit status is 130.
TEST(CliProgram, CtrlCDuringAParameterDumpKeepsTheSheetReadSoFar)
{
    SimProgram sim({"--fault", "slow,cmd=0x6C,delay=0.02"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    Folder out;
    const std::string sheet = out.Path("sheet.csv");
    const ProgramRun run = Cli(sim).Run({"param", "dump", "--out", sheet}, 60000,
                                        [](const ProgramRun&, double seconds) { return seconds > 1.0; });
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_TRUE(Says(run, "stopping after the current parameter")) << run.err;
    const ParsedSheet parsed = ParseSheetCsv(ReadFileText(sheet));
    ASSERT_TRUE(parsed.sheet) << parsed.problem;
    const std::size_t read = parsed.sheet->rows.size();
    EXPECT_GT(read, 5u);
    EXPECT_LT(read, 205u);
    EXPECT_TRUE(Says(run, "the sheet holds the " + std::to_string(read) + " parameters read")) << run.err;
    for (const ParamSheetRow& row : parsed.sheet->rows)
        EXPECT_TRUE(row.value) << row.index;
    EXPECT_EQ(out.Files(), std::vector<std::string>{"sheet.csv"});
}

TEST(CliProgram, FlashesOneBoardOrBothBoardsOfAPackage)
{
    Folder files;
    const Bytes cpu = FirmwareImage(5000, 1);
    const Bytes mis = FirmwareImage(3000, 2);
    const std::string image = files.Write("31400_VERTA708_V1.bin", cpu);
    files.Write("27520_CPU_V1.bin", cpu);
    files.Write("27520_MIS_V1.bin", mis);
    const std::string text = "27520_MIS_V1.bin\r\n27520_CPU_V1.bin\r\n";
    const std::string package = files.Write("27520_Pack.pkg", Bytes(text.begin(), text.end()));
    const auto holds = [](const std::string& dump, const Bytes& bytes) {
        return Slice(ReadFileBytes(dump), 0, bytes.size()) == bytes;
    };

    // Ctrl-C while pages are being written: one press only warns and the board is programmed and read
    // back to the end; a second press stops anyway (130) and leaves the board without its image. The
    // erase line is printed once the mass erase has ended, as the first page goes out.
    for (const int presses : {1, 2}) {
        const std::string dump = files.Path("pressed" + std::to_string(presses));
        std::string log;
        {
            SimProgram sim({"--boot", "--pace", "--flash-dump", dump});
            ASSERT_TRUE(sim.ok()) << sim.error();
            const ProgramRun run = Cli(sim).Run({"flash", image, "--target", "VERTA708", "--verify"}, 60000, [&](const ProgramRun& r, double) {
                return std::min<int>(presses, Says(r, " ERASE command      : OK") + Says(r, "Press Ctrl-C again to stop anyway."));
            });
            log = run.err;
            EXPECT_EQ(run.exitCode, presses == 1 ? 0 : 130) << log;
            EXPECT_TRUE(Says(run, "Press Ctrl-C again to stop anyway.")) << log;
            EXPECT_EQ(Says(run, " Loaded 20 pages  : OK \n Verify      : OK\n Run command        : OK\n"), presses == 1) << log;
            EXPECT_EQ(Says(run, "Upload completed succefully "), presses == 1) << log;
        }
        EXPECT_EQ(holds(dump + "-cpu.bin", cpu), presses == 1) << log;
    }

    {
        SimProgram sim({"--boot", "--pace", "--power-on-s", "0.5", "--flash-dump", files.Path("two")});
        ASSERT_TRUE(sim.ok()) << sim.error();
        const ProgramRun run = Cli(sim).Run({"flash", "--package", package});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(Says(run, "TURN ON the instrument ")) << run.err;
        EXPECT_TRUE(Says(run, " >> Upload Success ")) << run.err;
    }
    EXPECT_TRUE(holds(files.Path("two-cpu.bin"), cpu));
    EXPECT_TRUE(holds(files.Path("two-mis.bin"), mis));
}

// A disk that fills while the registers are saved (files limited to 300 bytes, the program's own
// handling of the limit's signal): the program says which file could not be written and why,
// exits 1, and the earlier file under that name is as it was.
TEST(CliProgram, WifiSaveOnAFullDiskSaysSoAndKeepsTheEarlierFile)
{
    const std::string prlimit = "/usr/bin/prlimit";
    ASSERT_TRUE(std::filesystem::exists(prlimit)) << "util-linux";
    SimProgram sim({"--model", "VRTA710"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    Folder files;
    const std::string earlier = "Wifi registers VRTA710_00001234,    Date:01.01.25,  fw:1.05\r\n11h real\r\n";
    const std::string saved = files.Write("VRTA710_00001234_wifi.txt", Bytes(earlier.begin(), earlier.end()));
    QTemporaryDir settings;
    const ProgramRun run = RunProgram({prlimit, "--fsize=300", "--", SimProgram::BinFolder() + "/servicetool-cli",
                                       "--port", sim.link(), "--config", EveryFeature(), "wifi", "save", saved},
                                      {"XDG_CONFIG_HOME=" + settings.path().toStdString(), "SERVICETOOL_PORT_MAP"}, 60000);
    EXPECT_EQ(run.exitCode, 1) << "-1: ended by a signal\n" << run.err;
    EXPECT_TRUE(Says(run, "ERROR writing file " + saved + "\n  " + std::strerror(EFBIG))) << run.err;
    EXPECT_EQ(ReadFileBytes(saved), Bytes(earlier.begin(), earlier.end()));
    EXPECT_EQ(files.Files(), std::vector<std::string>{"VRTA710_00001234_wifi.txt"});
}

TEST(CliProgram, BadCommandLinesAndMissingPorts)
{
    const std::string program = SimProgram::BinFolder() + "/servicetool-cli";
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        const char* said;  // on standard error, or on standard output for --help, --version and --json
        const char* notSaid;  // anywhere ("": not looked for)
    } cases[] = {
        {{"--version"}, 0, "servicetool-cli " SERVICETOOL_VERSION "\n", "servicetool-cli: "},
        {{"--help"}, 0, "Exit status:", "servicetool-cli: "},
        {{}, 64, "no command given", "{"},
        {{"--port", "COM16", "info"}, 64, "--port: COM1 to COM15 or a device path, not COM16", "{"},
        // The device given is named, never the COM number standing for it.
        {{"--port", "/nonexistent/ttyX", "info"}, 69,
         "[Error] Error: /nonexistent/ttyX  (1) No such file or directory | Serial port not available\n", "COM1"},
        {{"--port", "/nonexistent/ttyX", "flash", "31400_V1.bin"}, 69,
         "\nservicetool-cli: flash 31400_V1.bin: /nonexistent/ttyX cannot be opened: No such file or directory\n", "COM1"},
        // What the configuration file leaves switched off is refused before the port is opened.
        {{"--port", "/nonexistent/ttyX", "--config", ConfigFile("calibration.cfg", {"314x0-CalStmp"}), "restore",
          "--clear-all", "--yes"},
         77,
         "servicetool-cli: 'restore' is switched off, as in the window: the configuration file Config314x0.cfg "
         "needs the line 31400-flashopen and 31400-EeWipeFull\n",
         "COM1"},
        {{"--config", "/nonexistent/Config314x0.cfg", "info"}, 64, "--config: no file named /nonexistent/Config314x0.cfg",
         "{"},
        // With --json a refused command line is one JSON object as well.
        {{"info", "--json", "extra"}, 64, "{\"error\":\"unexpected operand 'extra'\",\"status\":64,\"messages\":[]}\n", "COM1"},
    };
    QTemporaryDir settings;
    for (const auto& c : cases) {
        std::vector<std::string> arguments{program};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ProgramRun run = RunProgram(arguments, {"XDG_CONFIG_HOME=" + settings.path().toStdString()}, 20000);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.said << "\n" << run.err;
        EXPECT_NE((run.out + run.err).find(c.said), std::string::npos) << run.out << run.err;
        if (*c.notSaid != '\0') {
            EXPECT_EQ((run.out + run.err).find(c.notSaid), std::string::npos) << run.out << run.err;
        }
        EXPECT_EQ(run.err.empty(), c.exitCode == 0) << run.out;
    }
}

// A failure the window shows no text for still ends with a line saying what failed, and --json
// carries the same text.
TEST(CliProgram, AFailureWithoutWindowTextIsSaidOnStandardErrorAndInJson)
{
    SimProgram sim({"--fault", "nak,cmd=i"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const ProgramRun run = Cli(sim).Run({"--json", "param", "set", "5", "9"});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_EQ(run.err, "servicetool-cli: param set 5 9: the instrument answered NAK\n");
    EXPECT_NE(run.out.find(",\"error\":\"param set 5 9: the instrument answered NAK\",\"status\":3,"), std::string::npos)
        << run.out;
}
