#pragma once

#include <optional>
#include <string>

#include "core/Operation.h"
#include "link/OperationContext.h"

// What the technician chose on the Upload tab, or on the command line.
struct FirmwareRequest {
    // An entry of the target list ("VERTA708", "QSVERIFs-MIN"): its flow, and the files it takes.
    // Empty: one board, whatever the file is named (the command line without --target).
    std::string target;
    std::string file;          // the image, or the package of the two-board target
    bool speed57600 = false;   // 57600 chosen: the link to the package's MIS board goes to 57600 baud
    // The pages written on the direct route (the one board, or a package's CPU board) are read
    // back and compared before Go. The MIS board, written through the CPU board, is not.
    bool verify = false;
};

// Where a firmware run stopped. The numbers are servicetool-cli's exit statuses for `flash`.
enum class FirmwareStep : int {
    None = 0,
    FileNotForTarget = 31,  // not started: no such target, or a file its file dialog would not offer
    PackageRefused = 32,    // the package is unreadable or does not name one CPU and one MIS image
    ImageRefused = 33,      // an image is missing, unreadable, empty or too large
    Port = 34,              // the port cannot be opened
    Sync = 35,              // direct route: the board's bootloader does not answer the sync
    Erase = 36,
    Write = 37,             // page `failedPage`
    Go = 38,
    InstrumentNotOn = 39,   // the programmed CPU board did not answer within 15 s
    BootCommand = 40,       // 0xD0: the pass-through to the MIS board did not open
    TunnelSync = 41,        // through the CPU board, to the MIS board's bootloader
    TunnelErase = 42,
    TunnelWrite = 43,       // page `failedPage`
    Verify = 44,            // direct route: page `failedPage` reads back otherwise, or not at all
    Stopped = 130,          // the program is ending: the window closed, the second Ctrl-C
};

struct FirmwareResult : OperationResult {
    FirmwareStep failedStep = FirmwareStep::None;
    int boardsProgrammed = 0;        // the CPU board (or the one board), then the MIS board
    int pagesWritten = 0;            // acknowledged, over every board
    std::optional<int> failedPage;   // the page a write or the read-back stopped at
};

// Seconds the package flow waits for the new CPU firmware to answer.
constexpr int kPowerOnTimeoutS = 15;

// Start on the Upload tab: programming one board straight through its bootloader, or a two-board
// package: the CPU board first, then, once the operator has switched the instrument on, the MIS
// board through it. A file the target does not take is refused with one log line before the port
// is opened; every image is checked before anything is erased. The port is closed on every way out.
FirmwareResult UploadFirmware(OperationContext& context, const FirmwareRequest& request);
