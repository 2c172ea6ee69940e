// servicetool-sim: a simulated instrument on a pseudo-terminal.
#include <signal.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "sim/FaultRuleText.h"
#include "sim/PtyServer.h"
#include "sim/SimInstrument.h"

namespace {

PtyServer* g_server = nullptr;

void OnSignal(int)
{
    if (g_server)
        g_server->Stop();
}

constexpr const char* kUsage =
    "usage: servicetool-sim --link PATH [--model NAME] [--serial S] [--version T] [--pace] [--baud N]\n"
    "                       [--fault RULE]... [--save-memory DIR]\n"
    "  --link PATH    symbolic link to the pseudo-terminal the instrument answers on\n"
    "  --model NAME   device name the instrument reports (default VRTA708)\n"
    "  --serial S     serial number, 8 characters (default 00001234)\n"
    "  --version T    version text of the identification answer (default \"1.051.02  0314\")\n"
    "  --pace         answers at the line rate of --baud (10 bits a byte)\n"
    "  --baud N       line rate for --pace (default 115200)\n"
    "  --slice-ms M   paced answers leave in slices of M ms, as from a USB adapter (default 1; 0: by byte)\n"
    "  --fault RULE   KIND[,key=value]...; KIND: silence nak nakstatus busy notok garbage noeot truncated\n"
    "                 overlong slow slowframe scripted; keys: cmd= page= eeprom= target= after=\n"
    "                 times= delay= length= bytes=  (e.g. nak,cmd=0xE5,after=2,times=1)\n"
    "  --save-memory DIR  on exit, the EEPROM into DIR/eeprom.bin and the flash into DIR/flash.bin\n";

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
    std::string memoryFolder;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--pace") {
            options.pace = true;
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
        } else if (arg == "--version") {
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
        } else {
            return Fail("unknown option " + arg);
        }
    }
    if (options.linkPath.empty())
        return Fail("--link is required");

    SimInstrument instrument(identity);
    for (auto& rule : faults)
        instrument.AddFault(std::move(rule));

    PtyServer server(instrument, options);
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
