#include "cli/CliCommandSet.h"


#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "cli/CliPort.h"
#include "cli/CliViews.h"
#include "core/Paths.h"
#include "core/ResultCodes.h"
#include "firmware/FirmwareUpload.h"
#include "firmware/UploadTargets.h"
#include "link/Answers.h"
#include "link/Commands.h"
#include "link/Frames.h"
#include "link/InstrumentModels.h"
#include "memory/ImageFiles.h"
#include "memory/MemoryDownload.h"
#include "memory/MemoryUpload.h"
#include "memory/TransferReport.h"
#include "params/ParamCatalogue.h"
#include "service/ServiceOperations.h"
#include "service/ServicePanel.h"
#include "service/WifiRegisters.h"

// ------------------------------------------------------------------------- memories

namespace {

// The unexpected failures of a transfer, as the window reports them.
int ReportTransferFailure(CliRun& run, const TransferFailure& failure)
{
    ShowTransferFailure(run.dialogs, failure);
    if (!run.dialogs.Messages().empty())
        run.failure = {run.dialogs.Messages().back(), true};
    return failure.kind == TransferFailure::Kind::PortMissing ? cli_exit::kNoSuchPort : cli_exit::kFailed;
}

int TransferExit(CliRun& run, int code, const TransferFailure& failure, const CliDownMemView& view)
{
    if (run.interrupted)
        return cli_exit::kInterrupted;
    if (failure.failed() && failure.kind != TransferFailure::Kind::Cancelled)
        return ReportTransferFailure(run, failure);
    if (code != code::kOk)
        WindowSaid(run, view.Status());
    return ExitStatusOf(code);
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

int RunBackup(CliRun& run)
{
    const CliOptions& o = run.options;
    CliMemoryChoice choice;
    const bool chosen = o.eeprom || o.flashRange || o.flashMisOnly;
    choice.eeprom = !chosen || o.eeprom;
    choice.flash = !chosen || o.flashRange || o.flashMisOnly;
    choice.recordCountRange = o.flashMisOnly;
    if (o.flashRange) {
        const auto dash = o.flashRange->find('-');
        choice.fromPage = o.flashRange->substr(0, dash);
        choice.toPage = o.flashRange->substr(dash + 1);
    }
    const std::string folder = o.outDir.empty() ? "." : o.outDir;
    if (!std::filesystem::is_directory(folder))
        return Refuse(run, cli_exit::kUsage, "--out: no folder named " + folder);

    const std::vector<std::string> before = FilesIn(folder);
    run.dialogs.SaveWith(folder);
    // The bar follows the flash stage.
    if (choice.flash && !choice.recordCountRange) {
        const long pages = std::stol(choice.toPage) - std::stol(choice.fromPage) + 1;
        if (pages > 0)
            run.log.SetTransferSize(4096.0 * static_cast<double>(pages));
    }
    ParamCatalogue catalogue;
    catalogue.LoadFamily(ParamFamilies().front().entry);
    CliDownMemView view(run.log, run.link.host(), choice, run.interrupted);
    MemoryDownload download(run.link, run.dialogs, catalogue, view, run.appFolder);
    const int code = download.Run();
    run.link.CloseSeriale();

    std::vector<std::string> saved;
    for (const std::string& name : FilesIn(folder))
        if (!std::binary_search(before.begin(), before.end(), name))
            saved.push_back(JoinPath(folder, name));
    if (!download.Info().Name.empty())
        AddInstrument(run, download.Info());
    run.result.Add("files", saved);
    for (const std::string& file : saved)
        run.output += file + "\n";
    return TransferExit(run, code, download.Failure(), view);
}

int RunRestore(CliRun& run)
{
    const CliOptions& o = run.options;
    CliMemoryChoice choice;
    if (o.clearAll) {
        choice.clearAll = true;
        choice.eeprom = true;  // the clear-all stage unticks it
    } else {
        for (const std::string& file : o.operands) {
            std::error_code error;
            if (!std::filesystem::exists(file, error))
                return Refuse(run, cli_exit::kUsage, "no file named " + file);
        }
        const std::string& first = o.operands[0];
        const std::string second = o.operands.size() > 1 ? o.operands[1] : std::string();
        choice.eeprom = EndsWithEpr(first);
        choice.flash = !choice.eeprom || !second.empty();
        if (!choice.eeprom && !second.empty())
            return Refuse(run, cli_exit::kUsage, "give the .epr image first, then its .fla image");
        if (!second.empty()) {
            const auto belonging = FindFlashImageFor(first);
            if (!belonging || !SameFile(*belonging, second))
                return Refuse(run, cli_exit::kUsage,
                              second + " is not the flash image that belongs to " + first +
                                  (belonging ? " (that is " + *belonging + ")" : ""));
        }
        run.dialogs.OpenWith(first);
    }
    // The window asks before it writes, and again when a flash image's pages are not the fields'
    // pages: --yes answers both; without it nothing is written.
    if (o.yes) {
        run.dialogs.Answer("Warning", MsgAnswer::Yes);
        run.dialogs.Answer("PAGE NUMBER WARNING", MsgAnswer::Yes);
    }

    CliDownMemView view(run.log, run.link.host(), choice, run.interrupted);
    MemoryUpload upload(run.link, run.dialogs, view, run.appFolder);
    const int code = upload.Run();
    run.link.CloseSeriale();

    const auto refused = [&](const char* title) {
        const auto& titles = run.dialogs.Refused();
        return std::find(titles.begin(), titles.end(), title) != titles.end();
    };
    if (refused("Warning"))
        return Refuse(run, ExitStatusOf(code::kRefused),
                      "restore writes into the instrument: nothing was written; give --yes to confirm");
    if (refused("RETRY"))
        return Refuse(run, ExitStatusOf(code == code::kOk ? code::kMalformed : code),
                      "a flash page failed more than 10 times in a row: the upload stopped there");
    return TransferExit(run, code, upload.Failure(), view);
}

