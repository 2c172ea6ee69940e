#include "cli/CliCommandSet.h"

#include <filesystem>

#include "core/Files.h"
#include "core/ResultCodes.h"
#include "memory/ImageFiles.h"
#include "memory/MemoryDownload.h"
#include "memory/MemoryUpload.h"
#include "params/ParamCatalogue.h"

// ------------------------------------------------------------------------- memories

namespace {

// How a transfer ended: a failure outside the instrument's answers was shown as the window's box,
// which is then what failed.
int TransferExit(CliRun& run, const OperationResult& result, const CliSink& sink)
{
    if (run.interrupted)
        return cli_exit::kInterrupted;
    const Interruption::Kind kind = result.interruption.kind;
    if (kind == Interruption::Kind::PortMissing || kind == Interruption::Kind::SystemError) {
        if (!run.dialogs.Messages().empty())
            run.failure = {run.dialogs.Messages().back(), true};
        return kind == Interruption::Kind::PortMissing ? cli_exit::kNoSuchPort : cli_exit::kFailed;
    }
    if (!result.ok())
        FailedWith(run, result, sink);
    return ExitStatusOf(NumberOf(result.code));
}

// --flash-mis-only saves the EEPROM too, as "Flash #MIS only" ticks "EEprom" in the window: the
// record count that says what the pages hold is in the EEPROM image.
DownloadRequest BackupRequest(const CliOptions& o, const ParamCatalogue& catalogue)
{
    DownloadRequest request{catalogue};
    const bool chosen = o.eeprom || o.flashRange || o.flashMisOnly;
    request.eeprom = !chosen || o.eeprom || o.flashMisOnly;
    request.flash = !chosen || o.flashRange || o.flashMisOnly;
    request.recordCountRange = o.flashMisOnly;
    if (o.flashRange) {
        const auto dash = o.flashRange->find('-');
        request.fromPage = o.flashRange->substr(0, dash);
        request.toPage = o.flashRange->substr(dash + 1);
    }
    return request;
}

// The bar follows the flash stage.
void ExpectFlashPages(CliRun& run, const DownloadRequest& request)
{
    if (!request.flash || request.recordCountRange)
        return;
    const long pages = std::stol(request.toPage) - std::stol(request.fromPage) + 1;
    if (pages > 0)
        run.log.SetTransferSize(static_cast<double>(kFlashPageSize) * static_cast<double>(pages));
}

}  // namespace

int RunBackup(CliRun& run)
{
    const std::string folder = run.options.outDir.empty() ? "." : run.options.outDir;
    if (std::error_code error; !std::filesystem::is_directory(FsPath(folder), error))
        return Refuse(run, cli_exit::kUsage, "--out: no folder named " + folder);
    ParamCatalogue catalogue;
    catalogue.LoadFamily(ParamFamilies().front().entry);
    const DownloadRequest request = BackupRequest(run.options, catalogue);
    ExpectFlashPages(run, request);

    CliSink sink = run.Sink({false, folder, ""});
    OperationContext context{run.link, sink, run.appFolder};
    const DownloadResult result = DownloadMemory(context, request);
    if (result.identified)
        AddInstrument(run, result.instrument);
    run.result.Add("files", result.files);
    for (const std::string& file : result.files)
        run.output += file + "\n";
    return TransferExit(run, result, sink);
}

int RunRestore(CliRun& run)
{
    const CliOptions& o = run.options;
    MemoryUploadRequest request;
    std::string image;
    if (o.clearAll) {
        request.clearAll = true;
        request.eeprom = true;
    } else {
        for (const std::string& file : o.operands) {
            std::error_code error;
            if (!std::filesystem::exists(FsPath(file), error))
                return Refuse(run, cli_exit::kUsage, "no file named " + file);
        }
        image = o.operands[0];
        const std::string second = o.operands.size() > 1 ? o.operands[1] : std::string();
        request.eeprom = EndsWithEpr(image);
        request.flash = !request.eeprom || !second.empty();
        if (!request.eeprom && !second.empty())
            return Refuse(run, cli_exit::kUsage, "give the .epr image first, then its .fla image");
        if (!second.empty()) {
            const auto belonging = FindFlashImageFor(image);
            if (!belonging || !SameFile(*belonging, second))
                return Refuse(run, cli_exit::kUsage,
                              second + " is not the flash image that belongs to " + image +
                                  (belonging ? " (that is " + *belonging + ")" : ""));
        }
    }

    // The window asks before it writes, and again when a flash image's pages are not the fields'
    // pages: --yes answers both; without it nothing is written.
    CliSink sink = run.Sink({o.yes, "", image});
    OperationContext context{run.link, sink, run.appFolder};
    const MemoryUploadResult result = UploadMemory(context, request);
    if (sink.Declined<question::ConfirmWrite>() || sink.Declined<question::PageNumbers>())
        return Refuse(run, ExitStatusOf(code::kRefused), result.reason + "; give --yes to confirm");
    if (sink.Declined<question::Retry>())
        return Refuse(run, ExitStatusOf(NumberOf(result.code)), result.reason);
    return TransferExit(run, result, sink);
}
