#pragma once

#include <cstdio>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliDialogs.h"
#include "cli/CliJson.h"
#include "cli/CliLog.h"
#include "cli/CliOptions.h"
#include "core/FeatureConfig.h"
#include "sim/SimBoards.h"
#include "sim/SimInstrument.h"
#include "sim/SimPort.h"
#include "sim/VirtualHost.h"
#include "support/Files.h"
#include "support/TempFolder.h"

// servicetool-cli's commands on the simulated instrument (COM1), in virtual time, with a folder of
// their own and every feature of the configuration file switched on unless a test says otherwise;
// what a terminal would show is kept in memory.
struct CliRig {
    CliRig()
    {
        host.SetLocalStart({2025, 12, 31, 23, 59, 50});
        port.SetExistingPorts({1});
    }
    ~CliRig() { std::fclose(out); }
    CliRig(const CliRig&) = delete;
    CliRig& operator=(const CliRig&) = delete;

    // Words of a command line, split at blanks.
    static std::vector<std::string> Words(const std::string& line)
    {
        std::istringstream in(line);
        return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
    }

    // Runs one command line; the exit status.
    int Run(const std::string& line) { return Run(Words(line)); }
    int Run(const std::vector<std::string>& words)
    {
        const CliParseResult parsed = ParseCliArguments(words);
        if (!parsed.options)
            return cli_exit::kUsage;
        options = *parsed.options;
        link.CommPortNumber = 1;
        link.BaudText = options.baud.empty() ? "115200" : options.baud;
        result = JsonObject();
        dialogs.Reset();
        if (beforeRun)
            beforeRun();
        CliRun run{link, dialogs, log, options, result, folder.Path(), interrupted, {}, {}};
        run.features = features;
        const int status = RunCliCommand(run);
        log.Finish();
        output = run.output;
        return status;
    }

    std::string Printed() const { return log.Printed(); }
    std::string Path(const std::string& name = "") const { return folder.Path(name); }
    std::string File(const std::string& name, const Bytes& bytes) const { return WriteFileBytes(Path(name), bytes); }
    bool JsonHas(const std::string& field) const { return result.Text().find(field) != std::string::npos; }

    VirtualHost host;
    SimInstrument instrument;
    SimBoards boards{instrument};
    SimPort port{boards, host};
    std::FILE* out = std::tmpfile();
    CliLog log{out, false};
    CliDialogs dialogs{log};
    SerialLink link{port, host, dialogs};
    TempFolder folder;
    CliOptions options;
    JsonObject result;
    std::string output;  // what the command gave standard output
    bool interrupted = false;
    std::vector<Feature> features{Feature::FlashOpen, Feature::ParamEdit, Feature::EeWipeFull, Feature::WlanOps,
                                  Feature::CalStmp};
    std::function<void()> beforeRun;
};
