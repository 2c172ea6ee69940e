#pragma once

// Result codes of every instrument routine and operation.
namespace code {
constexpr int kOk = 0;
constexpr int kNoFrame = 3;          // no complete answer frame (time-out, missing EOT, serial error)
constexpr int kReadBackDiffers = 4;  // value read back differs from the value written
constexpr int kNak = 5;
constexpr int kMalformed = 7;        // unexpected or malformed answer
constexpr int kNotOk = 8;            // instrument answered not OK
constexpr int kBusy = 9;
constexpr int kRefused = 21;         // refused before sending
constexpr int kShortFlashBlock = 25; // flash block answer shorter than 1024 bytes
constexpr int kPortMissing = 1000;   // the port does not exist
constexpr int kFileNotWritten = 1001; // a file the operation saves could not be written (disk full)
}  // namespace code
