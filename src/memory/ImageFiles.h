#pragma once

#include <optional>
#include <string>

#include "core/Bytes.h"
#include "core/Host.h"
#include "link/Identification.h"

// Memory image files: ".epr" is a plain copy of the 2000-byte EEPROM, ".fla" a plain copy of a
// range of 4096-byte flash pages. Everything else about an image is carried by its file name.
// Names are UTF-8; "character" below means one UTF-8 encoded character, not one byte.

constexpr int kEepromSize = 2000;
constexpr int kFlashPageSize = 4096;
constexpr int kFlashLastPage = 2047;

// Name_Serial_fwVxxxx_yymmddhhmmss (first four characters of FwVersion). Characters that cannot
// stand in a file name become "-", and so does a leading ".".
std::string ImageBaseName(const InstrumentInfo& info, const LocalDateTime& at);

// base + ".epr"
std::string EepromImageName(const std::string& baseName);

// base + "_0005-0027.fla": pages as four digits with leading zeros.
std::string FlashImageName(const std::string& baseName, int firstPage, int lastPage);

struct FlashImagePages {
    int first = 0;
    int last = 0;
};

// Takes a flash image file name apart by positions counted from its end: accepted when it has
// more than 16 characters, "_" 13 characters and "-" 8 characters before its end. Each page is
// the run of decimal digits at the start of its four-character group (0 when the group does not
// start with a digit). The extension is not examined. A folder part, if any, is ignored.
// Nothing when rejected.
std::optional<FlashImagePages> ParseFlashImageName(const std::string& fileName);

// The flash image that belongs to an EEPROM image path: in its folder, the first regular file whose
// name matches <epr name without its last four characters>*.fla, letter case ignored (ASCII and
// Latin-1 letters) and every other character of the name taken literally. Several matches are
// ordered by name, case ignored, and the first is taken. Returns the folder joined with the
// matching name; nothing when there is none, the folder cannot be listed or the name has fewer
// than four characters. A path without folder is looked up in the current folder.
std::optional<std::string> FindFlashImageFor(const std::string& eepromImagePath);

// Characters of the file name before its first "_"; nothing when there is no "_".
// A folder part, if any, is ignored.
std::optional<std::string> DeviceNameOfEepromImage(const std::string& fileName);

// Offset of the stored-record count in an EEPROM image for a device name (154 or 272); nothing for
// others. Names are compared exactly.
std::optional<int> RecordCountOffset(const std::string& deviceName);

// 16-bit, low byte first, at the offset; nothing when the image is too short.
std::optional<int> RecordCountInImage(const Bytes& image, int offset);

// True when an image of this base name already exists in the folder (base + ".epr", or any
// base + "_*.fla", letter case ignored as in FindFlashImageFor), so a new download must not reuse
// the base name. Any kind of directory entry counts. An empty folder is the current folder; a
// folder that cannot be listed holds nothing.
bool ImageBaseInUse(const std::string& folder, const std::string& baseName);
