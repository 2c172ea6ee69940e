#pragma once

#include <string>

#include "core/ResultCodes.h"

// How every operation of the tool ends, whichever front end runs it (a tab of the window or a
// command of servicetool-cli): an operation takes a request struct and returns a result struct
// derived from OperationResult, with what it produced.

// The result codes of the instrument routines, with their numbers.
enum class ResultCode : int {
    Ok = code::kOk,
    NoFrame = code::kNoFrame,
    ReadBackDiffers = code::kReadBackDiffers,
    Nak = code::kNak,
    Malformed = code::kMalformed,
    NotOk = code::kNotOk,
    Busy = code::kBusy,
    Refused = code::kRefused,
    ShortFlashBlock = code::kShortFlashBlock,
    PortMissing = code::kPortMissing,
    FileNotWritten = code::kFileNotWritten,
};

constexpr ResultCode ResultCodeOf(int routineCode) { return static_cast<ResultCode>(routineCode); }
constexpr int NumberOf(ResultCode code) { return static_cast<int>(code); }

// Why an operation ended other than by the instrument's answers.
struct Interruption {
    enum class Kind {
        None,
        Declined,     // a question answered No or Cancel, a file choice cancelled
        Stopped,      // Stop pressed, Ctrl-C, or the program is ending
        PortMissing,  // the chosen port does not exist
        SystemError,  // this computer failed: a file, or the port; number and text below
    };
    Kind kind = Kind::None;
    int number = 0;
    std::string description;

    bool happened() const { return kind != Kind::None; }
};

struct OperationResult {
    ResultCode code = ResultCode::Ok;
    // What went wrong, in the words the tool shows for it; empty on success.
    std::string reason;
    Interruption interruption;

    bool ok() const { return code == ResultCode::Ok && !interruption.happened(); }
};
