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

namespace {
constexpr const char* kFlashSpeed = "57600";
}  // namespace

// ------------------------------------------------------------------------- firmware

int RunFlash(CliRun& run)
{
    const CliOptions& o = run.options;
    const bool package = !o.package.empty();
    const std::string target = !o.target.empty() ? o.target : package ? kPackageTargetName : std::string();
    if (!target.empty()) {
        const FirmwareTarget* known = FindFirmwareTarget(target);
        if (!known)
            return Refuse(run, cli_exit::kUsage, "--target: no firmware target named " + target);
        if ((known->flow == FirmwareFlow::TwoBoardPackage) != package)
            return Refuse(run, cli_exit::kUsage,
                          package ? target + " takes one image, not a package"
                                  : target + " takes a package: flash --package PACKAGE");
    }
    const std::string path = package ? o.package : o.operands[0];
    if (!package && EndsWithNoCase(path, ".pkg"))
        return Refuse(run, cli_exit::kUsage, path + " is a package: flash --package " + path);
    if (!target.empty() && !package && !FileFitsTarget(*FindFirmwareTarget(target), FileNameOfPath(path)))
        return Refuse(run, cli_exit::kUsage,
                      "the image of " + target + " is a file " + FilePattern(*FindFirmwareTarget(target)) + ", not " +
                          FileNameOfPath(path));
    FirmwareChoice choice;
    choice.FirmwareFile = choice.ChosenFile = path;
    choice.ChosenTitle = FileNameOfPath(path);
    const std::string folder = FolderOfPath(path);
    choice.ChosenFolder = folder.empty() ? std::string() : folder + "/";

    run.link.BaudText = o.baud.empty() ? kFlashSpeed : o.baud;
    if (!package) {
        std::error_code error;
        const auto size = std::filesystem::file_size(path, error);
        if (!error)
            run.log.SetTransferSize(static_cast<double>(size));
    }
    CliUploadView view(run.log, run.link.host(), o.link57600);
    PageImage image;
    FirmwareUpload upload(run.link, view, choice, image);
    const bool done = upload.Run(package);
    if (run.link.host().Quitting())
        return cli_exit::kInterrupted;
    if (!done)
        WindowSaid(run, view.Text());
    return done ? 0 : cli_exit::kFailed;
}

