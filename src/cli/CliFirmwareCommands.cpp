#include "cli/CliCommandSet.h"

#include <filesystem>

#include "cli/CliSink.h"
#include "core/Files.h"
#include "firmware/FirmwareUpload.h"
#include "link/InstrumentModels.h"
#include "link/Speeds.h"

namespace {

// The target the options name; for a package the one package target. Empty when none is named.
std::string TargetOf(const CliOptions& o)
{
    if (!o.target.empty())
        return o.target;
    return o.package.empty() ? std::string() : kPackageTargetName;
}

// --target and the kind of file given must go together; "" when they do.
std::string OptionMisuse(const CliOptions& o, const std::string& target, const std::string& path)
{
    const bool package = !o.package.empty();
    if (!target.empty()) {
        const FirmwareTarget* known = FindFirmwareTarget(target);
        if (!known)
            return "--target: no firmware target named " + target;
        if ((known->flow == FirmwareFlow::TwoBoardPackage) != package)
            return package ? target + " takes one image, not a package" : target + " takes a package: flash --package PACKAGE";
    }
    if (!package && EndsWithNoCase(path, ".pkg"))
        return path + " is a package: flash --package " + path;
    return {};
}

void ShowImageSize(CliRun& run, const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(FsPath(path), error);
    if (!error)
        run.log.SetTransferSize(static_cast<double>(size));
}

// 0, or the step the run stopped at.
int FlashExitStatus(const FirmwareResult& result)
{
    if (result.ok())
        return 0;
    return result.failedStep == FirmwareStep::None ? cli_exit::kFailed : static_cast<int>(result.failedStep);
}

}  // namespace

int RunFlash(CliRun& run)
{
    const CliOptions& o = run.options;
    const bool package = !o.package.empty();
    const std::string target = TargetOf(o);
    const std::string path = package ? o.package : o.operands[0];
    if (const std::string misuse = OptionMisuse(o, target, path); !misuse.empty())
        return Refuse(run, cli_exit::kUsage, misuse);

    run.link.BaudText = o.baud.empty() ? kSpeed57600 : o.baud;
    if (!package)
        ShowImageSize(run, path);
    CliSink sink = run.Sink({});
    OperationContext context{run.link, sink, run.appFolder};
    const FirmwareResult result = UploadFirmware(context, {target, path, o.link57600, o.verify});

    run.result.Add("boards", result.boardsProgrammed).Add("pages", result.pagesWritten);
    if (result.failedPage)
        run.result.Add("failed_page", *result.failedPage);
    if (!result.ok())
        FailedWith(run, result, sink);
    return FlashExitStatus(result);
}
