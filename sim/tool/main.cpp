// servicetool-sim: a simulated instrument on a pseudo-terminal.
#include <signal.h>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "sim/FaultRuleText.h"
#include "sim/PtyServer.h"
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
    "                       [--slice-ms M] [--fault RULE]...\n"
    "       servicetool-sim --version | --help\n"
    "  --link PATH    symbolic link to the pseudo-terminal the instrument answers on\n"
    "  --model NAME   device name the instrument reports (default VRTA708)\n"
    "  --serial S     serial number, 8 characters (default 00001234)\n"
    "  --fw-version T firmware version text of the identification answer (default \"1.051.02  0314\")\n"
    "  --pace         answers at the line rate of --baud (10 bits a byte)\n"
    "  --baud N       line rate for --pace (default 115200)\n"
    "  --slice-ms M   paced answers leave in slices of M ms, as from a USB adapter (default 1; 0: by byte)\n"
    "  --fault RULE   KIND[,key=value]...; KIND: silence nak busy notok garbage noeot truncated\n"
    "                 overlong slow slowframe scripted; keys: cmd= page= eeprom= target= after=\n"
    "                 times= delay= length= bytes=  (e.g. nak,cmd=0xE5,after=2,times=1)\n"
    "  --version      print the program version and exit\n"
    "  --help         print this help and exit\n";

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
    if (!ok) {
        std::cerr << "servicetool-sim: " << error << "\n";
        return 1;
    }
    return 0;
}
