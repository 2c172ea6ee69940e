// servicetool-sim: a simulated instrument on a pseudo-terminal.
#include <signal.h>
#include <sys/prctl.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <utility>
#include <string>
#include <vector>

#include "sim/FaultRuleText.h"
#include "sim/PtyServer.h"
#include "sim/SimBoards.h"
#include "sim/SimInstrument.h"

#ifndef SERVICETOOL_VERSION
#define SERVICETOOL_VERSION "unknown"
#endif

namespace {

PtyServer* g_server = nullptr;

void OnSignal(int)
{
    if (g_server)
        g_server->Stop();
}

constexpr const char* kUsage =
    "usage: servicetool-sim --link PATH [--model NAME] [--serial S] [--fw-version T] [--pace] [--baud N]\n"
    "                       [--slice-ms M] [--no-wifi] [--fault RULE]... [--save-memory DIR] [--boot]\n"
    "                       [--erase-ms M] [--sector-erase-ms M] [--prog-ms M] [--power-on-s S]\n"
    "                       [--nack-page BOARD:N]... [--weak-byte BOARD:OFFSET]... [--silent-read BOARD]...\n"
    "                       [--stats FILE] [--flash-dump PREFIX] [--log FILE]\n"
    "       servicetool-sim --version | --help\n"
    "  --link PATH    symbolic link to the pseudo-terminal the instrument answers on\n"
    "  --model NAME   device name the instrument reports (default VRTA708)\n"
    "  --serial S     serial number, 8 characters (default 00001234)\n"
    "  --fw-version T firmware version text of the identification answer (default \"1.051.02  0314\")\n"
    "  --pace         answers at the line rate of --baud (10 bits a byte)\n"
    "  --baud N       line rate for --pace (default 115200)\n"
    "  --no-wifi      the instrument has no Wi-Fi module (its commands are answered NAK)\n"
    "  --slice-ms M   paced answers leave in slices of M ms, as from a USB adapter (default 1; 0: by byte)\n"
    "  --fault RULE   KIND[,key=value]...; KIND: silence nak nakstatus busy notok garbage noeot truncated\n"
    "                 overlong slow slowframe scripted; keys: cmd= page= eeprom= target= after=\n"
    "                 times= delay= length= bytes=  (e.g. nak,cmd=0xE5,after=2,times=1)\n"
    "  --save-memory DIR  on exit, the EEPROM into DIR/eeprom.bin and the flash into DIR/flash.bin\n"
    "  --boot         the CPU board starts in its STM32 bootloader (keys held at power-on)\n"
    "  --erase-ms M   bootloader mass erase time (default 500)\n"
    "  --sector-erase-ms M   bootloader erase time of one sector of a list (default 20)\n"
    "  --prog-ms M    bootloader time to program one Write Memory block (default 1)\n"
    "  --power-on-s S after Go the instrument answers S seconds later (default 1; negative: never)\n"
    "  --nack-page BOARD:N   the bootloader of BOARD (cpu or mis) refuses the data block of page N\n"
    "  --weak-byte BOARD:OFFSET  the flash byte at OFFSET (e.g. 0x300) of BOARD reads back changed once\n"
    "                 programmed, though its write is acknowledged\n"
    "  --silent-read BOARD   the bootloader of BOARD leaves every Read Memory unanswered after its count\n"
    "  --log FILE     every read and write on the line, a line each: monotonic seconds, rx (received)\n"
    "                 or tx (sent), the bytes in hexadecimal\n"
    "  --stats FILE   when a client closes the port, write the bootloaders' byte counts, answers and\n"
    "                 erase and programming seconds to FILE (and start counting again)\n"
    "  --flash-dump P when a client closes the port, write both boards' flash to P-cpu.bin and P-mis.bin\n"
    "  --version      print the program version and exit\n"
    "  --help         print this help and exit\n";

// The instrument's memories as plain files: DIR/eeprom.bin (2000 bytes), DIR/flash.bin (8 MiB).
bool SaveMemory(const SimInstrument& instrument, const std::string& folder, std::string& error)
{
    const auto save = [&](const std::string& name, const Bytes& bytes) {
        std::ofstream file(folder + "/" + name, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file)
            error = "cannot write " + folder + "/" + name;
        return static_cast<bool>(file);
    };
    return save("eeprom.bin", instrument.Eeprom()) && save("flash.bin", instrument.ReadFlash(0, kSimFlashSize));
}

int Fail(const std::string& message)
{
    std::cerr << "servicetool-sim: " << message << "\n" << kUsage;
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    SimIdentity identity;
    PtyServerOptions options;
    std::vector<SimFaultRule> faults;
    bool wifiFitted = true;
    bool bootloader = false;
    SimBootTimes times;
    double powerOnS = 1.0;
    std::vector<std::pair<std::string, int>> nackPages;
    std::vector<std::pair<std::string, std::uint32_t>> weakBytes;
    std::vector<std::string> silentReads;
    std::string statsPath;
    std::string dumpPrefix;
    const auto number = [](const char* text, double low, double high, double& out) {
        char* end = nullptr;
        out = std::strtod(text, &end);
        return end != text && *end == '\0' && out >= low && out <= high;
    };
    std::string memoryFolder;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "servicetool-sim " << SERVICETOOL_VERSION << "\n";
            return 0;
        }
        if (arg == "--pace") {
            options.pace = true;
            continue;
        }
        if (arg == "--boot") {
            bootloader = true;
            continue;
        }
        if (arg == "--no-wifi") {
            wifiFitted = false;
            continue;
        }
        const char* v = value();
        if (!v)
            return Fail(arg + " needs a value");
        if (arg == "--link") {
            options.linkPath = v;
        } else if (arg == "--model") {
            identity.name = v;
        } else if (arg == "--serial") {
            identity.serial = v;
        } else if (arg == "--fw-version") {
            identity.versionText = v;
        } else if (arg == "--baud") {
            char* end = nullptr;
            const long baud = std::strtol(v, &end, 10);
            if (*end != '\0' || baud < 50 || baud > 4000000)
                return Fail(std::string("bad baud ") + v);
            options.baud = static_cast<int>(baud);
        } else if (arg == "--slice-ms") {
            char* end = nullptr;
            const double ms = std::strtod(v, &end);
            if (*end != '\0' || !(ms >= 0.0 && ms <= 1000.0))
                return Fail(std::string("bad slice ") + v);
            options.sliceS = ms / 1000.0;
        } else if (arg == "--save-memory") {
            memoryFolder = v;
        } else if (arg == "--fault") {
            std::string error;
            auto rule = ParseFaultRule(v, error);
            if (!rule)
                return Fail(error);
            faults.push_back(std::move(*rule));
        } else if (arg == "--erase-ms" || arg == "--sector-erase-ms" || arg == "--prog-ms") {
            double ms = 0.0;
            if (!number(v, 0.0, 600000.0, ms))
                return Fail("bad time " + std::string(v));
            (arg == "--erase-ms" ? times.massEraseS : arg == "--prog-ms" ? times.programS : times.sectorEraseS) = ms / 1000.0;
        } else if (arg == "--power-on-s") {
            if (!number(v, -1.0e9, 1.0e6, powerOnS))
                return Fail("bad time " + std::string(v));
        } else if (arg == "--nack-page") {
            const std::string text = v;
            const auto colon = text.find(':');
            double page = 0.0;
            const std::string board = text.substr(0, colon);
            if (colon == std::string::npos || (board != "cpu" && board != "mis") ||
                !number(text.c_str() + colon + 1, 0.0, 4095.0, page))
                return Fail("bad page " + text);
            nackPages.emplace_back(board, static_cast<int>(page));
        } else if (arg == "--weak-byte") {
            const std::string text = v;
            const auto colon = text.find(':');
            double offset = 0.0;
            const std::string board = text.substr(0, colon);
            if (colon == std::string::npos || (board != "cpu" && board != "mis") ||
                !number(text.c_str() + colon + 1, 0.0, kSimBootFlashSize - 1.0, offset) || offset != std::floor(offset))
                return Fail("bad byte " + text);
            weakBytes.emplace_back(board, static_cast<std::uint32_t>(offset));
        } else if (arg == "--silent-read") {
            const std::string board = v;
            if (board != "cpu" && board != "mis")
                return Fail("bad board " + board);
            silentReads.push_back(board);
        } else if (arg == "--stats") {
            statsPath = v;
        } else if (arg == "--log") {
            options.logPath = v;
        } else if (arg == "--flash-dump") {
            dumpPrefix = v;
        } else {
            return Fail("unknown option " + arg);
        }
    }
    if (options.linkPath.empty())
        return Fail("--link is required");

    SimInstrument instrument(identity);
    instrument.Wifi().SetFitted(wifiFitted);
    for (auto& rule : faults)
        instrument.AddFault(std::move(rule));
    SimBoards boards(instrument);
    boards.SetBootTimes(times);
    boards.SetPowerOnDelay(powerOnS);
    if (bootloader)
        boards.StartCpuInBootloader();
    for (const auto& [board, page] : nackPages) {
        SimBootloader& part = board == "cpu" ? boards.CpuBoot() : boards.MisBoot();
        part.AddFault(SimBootloader::NackWriteData(kSimBootFlashStart + static_cast<std::uint32_t>(page) * 256));
    }
    for (const auto& [board, offset] : weakBytes)
        (board == "cpu" ? boards.CpuBoot() : boards.MisBoot()).AddWeakByte(offset);
    for (const std::string& board : silentReads)
        (board == "cpu" ? boards.CpuBoot() : boards.MisBoot()).AddFault(SimBootloader::SilentRead());
    // Paced bytes leave on time: no timer slack on the server's sleeps.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    PtyServer server(boards, options);
    // Written whole to a new name first, so a reader never sees half a file.
    const auto replaceFile = [](const std::string& path, const char* data, std::size_t size) {
        const std::string part = path + ".part";
        std::ofstream(part, std::ios::binary | std::ios::trunc).write(data, static_cast<std::streamsize>(size));
        std::rename(part.c_str(), path.c_str());
    };
    server.SetOnClientClosed([&boards, statsPath, dumpPrefix, replaceFile] {
        if (!statsPath.empty()) {
            const SimBootStats stats = boards.BootStats();
            std::ostringstream text;
            text << "bytes_in " << stats.bytesIn << "\nbytes_out " << stats.bytesOut << "\nexchanges "
                 << stats.exchanges << "\nerase_s " << stats.eraseS << "\nprogram_s " << stats.programS << "\n";
            replaceFile(statsPath, text.str().data(), text.str().size());
            boards.ResetBootStats();
        }
        if (!dumpPrefix.empty()) {
            for (const auto& [name, part] : {std::pair{"-cpu.bin", &boards.CpuBoot()}, std::pair{"-mis.bin", &boards.MisBoot()}})
                replaceFile(dumpPrefix + name, reinterpret_cast<const char*>(part->Flash().data()), part->Flash().size());
        }
    });
    std::string error;
    if (!server.Start(error)) {
        std::cerr << "servicetool-sim: " << error << "\n";
        return 1;
    }
    g_server = &server;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    std::cout << "servicetool-sim: " << server.LinkPath() << " -> " << server.SlaveName() << std::endl;
    const bool ok = server.Run(error);
    g_server = nullptr;
    if (ok && !memoryFolder.empty() && !SaveMemory(instrument, memoryFolder, error)) {
        std::cerr << "servicetool-sim: " << error << "\n";
        return 1;
    }
    if (!ok) {
        std::cerr << "servicetool-sim: " << error << "\n";
        return 1;
    }
    return 0;
}
