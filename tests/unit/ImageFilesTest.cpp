#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Files.h"
#include "core/Platform.h"
#include "memory/ImageFiles.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

InstrumentInfo Info(const char* name, const char* serial, const char* fw)
{
    InstrumentInfo info;
    info.Name = name;
    info.SerialNumber = serial;
    info.FwVersion = fw;
    return info;
}

const LocalDateTime kMarch5 = {2025, 3, 5, 14, 7, 9};

// The folder holds these files (UTF-8 names; one ending in "/" is a folder) and nothing else.
class ImageFolderTest : public ::testing::Test {
protected:
    std::string Folder() const { return temp.Path(); }
    void Refill(const std::vector<std::string>& names) const
    {
        for (const auto& entry : fs::directory_iterator(FsPath(Folder())))
            fs::remove_all(entry.path());
        for (const std::string& name : names) {
            if (name.ends_with("/"))
                fs::create_directory(FsPath(temp.Path(name)));
            else
                WriteFileBytes(temp.Path(name), {'x'});
        }
    }
    TempFolder temp;
};

}  // namespace

// --- names ---

TEST(ImageNames, BaseNameFromIdentificationAndClock)
{
    const struct {
        InstrumentInfo info;
        LocalDateTime at;
        const char* base;
    } cases[] = {
        {Info("VRTA708", "00001234", "1.05"), kMarch5, "VRTA708_00001234_fwV1.05_250305140709"},
        {Info("VRTA708", "00001234", "1.13a"), {1999, 12, 31, 23, 59, 58}, "VRTA708_00001234_fwV1.13_991231235958"},
        {Info("VRTA708", "00001234", "1"), {2000, 1, 1, 0, 0, 0}, "VRTA708_00001234_fwV1_000101000000"},
        {Info("VRTA708", "00001234", ""), {2100, 10, 2, 3, 4, 5}, "VRTA708_00001234_fwV_001002030405"},
        // Four characters of the firmware text, not four bytes.
        {Info("VRTA708", "00001234", "1\xC3\xA9" "05x"), kMarch5, "VRTA708_00001234_fwV1\xC3\xA9" "05_250305140709"},
        // What cannot stand in a file name becomes "-", and so does a leading "." (a hidden file).
        {Info("VRTA708", "12/../34", "1.0*"), kMarch5, "VRTA708_12-..-34_fwV1.0-_250305140709"},
        {Info("../x", "1\\2:3", "<>|?"), kMarch5, "-.-x_1-2-3_fwV----_250305140709"},
        {Info(".", "\x01\x7F", "\"1"), kMarch5, "-_--_fwV-1_250305140709"},
        {Info("", "", ""), kMarch5, "__fwV_250305140709"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ImageBaseName(c.info, c.at), c.base);
}

// --- taking a flash image name apart ---

TEST(FlashImageNameParsing, AcceptedAndRejectedNames)
{
    using Pages = std::pair<int, int>;
    const std::vector<std::pair<std::string, std::optional<Pages>>> cases = {
        {"QS408t_77_fwV2.00_250101000000_0005-0027.fla", Pages{5, 27}},
        {"QS4_0005-0027.fla", Pages{5, 27}},                  // 17 characters, the shortest accepted
        {"QS408t_0000-2047.FLA", Pages{0, 2047}},
        {"QS408t_0005-0027.bin", Pages{5, 27}},               // extension not examined
        {"QS408t_x005-0027.fla", Pages{0, 27}},               // group not starting with a digit
        {"QS408t_ 005-+027.fla", Pages{0, 0}},                // blank and sign are not digits
        {"QS408t_12ab-3.4x.fla", Pages{12, 3}},               // digits up to the first non-digit
        {"C:\\images_1-2\\VRTA708_1_fwV1_250101000000_0003-0004.fla", Pages{3, 4}},  // folder ignored
        {"Q\xC3\xA9" "A_0006-0028.fla", Pages{6, 28}},          // 17 characters, one of two bytes
        {"QS408t_1\xC3\xA9" "23-0028.fla", Pages{1, 28}},       // a two-byte character ends the digits
        {"a_0005-27.fla", std::nullopt},                       // 13 characters
        {"QS_0005-0027.fla", std::nullopt},                    // 16 characters
        {"\xC3\xA9\xC3\xA9_0005-0027.fla", std::nullopt},        // 16 characters in 18 bytes
        {"QS408t_77_fwV2.00_250101000000_0005_0027.fla", std::nullopt},  // no "-" at L - 8
        {"QS408t-0005-0027.fla", std::nullopt},                // no "_" at L - 13
        {"QS408t_0005-0027.fla.bak", std::nullopt},            // shifted positions
        {"/folder/Q_0001-0002.fla", std::nullopt},             // the name alone has 15 characters
        {"", std::nullopt}, {"_", std::nullopt}, {"-", std::nullopt}, {".fla", std::nullopt},
    };
    for (const auto& [name, pages] : cases) {
        SCOPED_TRACE(name);
        const auto parsed = ParseFlashImageName(name);
        EXPECT_EQ(parsed ? std::optional(Pages{parsed->first, parsed->last}) : std::nullopt, pages);
    }
}

// --- finding the flash image of an EEPROM image, and base names in use ---

// Each case in a fresh folder: the files there (a name ending in "/" is a folder), the EEPROM image
// asked about (after the folder's path) and the flash image found (after the folder's path).
TEST_F(ImageFolderTest, FindsTheFlashImageOfAnEepromImage)
{
    using Files = std::vector<std::string>;
    const std::string x0 = "X_1_fwV1_250101000000";
    const std::string x1 = "X_1_fwV1_250101000001";
    const struct {
        Files files;
        std::string asked;
        std::optional<std::string> found;
    } cases[] = {
        {{x0 + ".epr", x1 + "_0000-0027.fla"}, "/" + x0 + ".epr", std::nullopt},  // another download's only
        {{x0 + ".epr", x1 + "_0000-0027.fla", x0 + "_0000-0027.fla"}, "/" + x0 + ".epr", "/" + x0 + "_0000-0027.fla"},
        {{x0 + "_0000-0027.fla", x1 + "_0000-0027.fla"}, "/" + x1 + ".epr", "/" + x1 + "_0000-0027.fla"},
        // Letter case ignored, ASCII and Latin-1; the division sign is no letter.
        {{x0 + "_0000-0027.FLA"}, "/x_1_FWV1_250101000000.EPR", "/" + x0 + "_0000-0027.FLA"},
        {{"\xC3\xA9_1_0000-0001.fla"}, "/\xC3\x89_1.epr", "/\xC3\xA9_1_0000-0001.fla"},
        {{"\xC3\xB7_1_0000-0001.fla"}, "/\xC3\x97_1.epr", std::nullopt},
        // "*" may match nothing; only files ending in ".fla" count; the last four characters dropped.
        {{}, "/A_1.epr", std::nullopt},
        {{"A_1.fla.bak", "A_1_0000-0001.flax", "A_1.fl", "A_1_dir.fla/"}, "/A_1.epr", std::nullopt},
        {{"A_1.fla.bak", "A_1.fla"}, "/A_1.epr", "/A_1.fla"},
        {{"A_1.fla"}, "/A_1.xyz", "/A_1.fla"},
        // The name's characters are literal, wildcards and brackets included.
        {{"V1x0[1]_2_0000-0001.fla", "V1.01_2_0000-0001.fla"}, "/V1.0[1]_2.epr", std::nullopt},
        {{"V1x0[1]_2_0000-0001.fla", "v1.0[1]_2_0005-0006.fla"}, "/V1.0[1]_2.epr", "/v1.0[1]_2_0005-0006.fla"},
        {{"S*?_3_0000-0001.fla", "S12_3_0000-0001.fla"}, "/S*?_3.epr", "/S*?_3_0000-0001.fla"},
        // Several matches: the first by name with case ignored.
        {{x0 + "_0028-0040.fla", x0 + "_0005-0027.fla", "x_1_fwV1_250101000000_0001-0002.fla"}, "/" + x0 + ".epr",
         "/x_1_fwV1_250101000000_0001-0002.fla"},
        // Path forms: either separator, kept as given; a folder that is missing or is a file.
        {{"X_1_0000-0027.fla"}, "\\X_1.epr", "\\X_1_0000-0027.fla"},
        {{"X_1_0000-0027.fla"}, "/missing/X_1.epr", std::nullopt},
        {{"X_1_0000-0027.fla"}, "/X_1_0000-0027.fla/X_1.epr", std::nullopt},
        // Short names: fewer than four characters find nothing; four leave an empty prefix.
        {{"B_0000-0001.fla"}, "/", std::nullopt},
        {{"B_0000-0001.fla"}, "/B_.epr", "/B_0000-0001.fla"},
        {{"B_0000-0001.fla"}, "/.epr", "/B_0000-0001.fla"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        const auto wildcard = [](const std::string& name) { return name.find_first_of("*?") != std::string::npos; };
        if (kThisOs == OsFamily::Windows && std::any_of(c.files.begin(), c.files.end(), wildcard))
            continue;  // no Windows file is named with "*" or "?"
        Refill(c.files);
        const auto found = FindFlashImageFor(Folder() + c.asked);
        EXPECT_EQ(found, c.found ? std::optional(Folder() + *c.found) : std::nullopt);
    }
    EXPECT_FALSE(FindFlashImageFor(""));
}

// A base name is in use when its ".epr" or any of its "_*.fla" is there (case ignored, any kind of
// entry, the base taken literally); a folder that cannot be listed holds nothing.
TEST_F(ImageFolderTest, BaseNamesInUse)
{
    using Files = std::vector<std::string>;
    const std::string x0 = "X_1_fwV1_250101000000";
    const struct {
        Files files;
        std::string folder;  // after the folder's path
        std::string base;
        bool inUse;
    } cases[] = {
        {{}, "", x0, false},
        {{x0 + ".epr.bak", "X_1_fwV1_2501010000001.epr", "X_1_fwV1_25010100000.epr"}, "", x0, false},
        {{"x_1_fwv1_250101000000.EPR"}, "", x0, true},
        {{"X_1_fwV1_2501010000000_0000-0027.fla", x0 + ".fla", x0 + "_0000-0027.fla.tmp"}, "", x0, false},
        {{x0 + "_0000-0027.FLA"}, "", x0, true},
        {{x0 + "_0000-0027.FLA"}, "/", x0, true},
        {{x0 + "_dir.fla/"}, "", x0, true},
        {{"V1x0[1]_2_0000-0001.fla"}, "", "V1.0[1]_2", false},
        {{"V1.0[1]_2_.fla"}, "", "V1.0[1]_2", true},
        {{"V1.0[1]_2_.fla"}, "/missing", "V1.0[1]_2", false},
        {{"V1.0[1]_2_.fla"}, "/V1.0[1]_2_.fla", "V1.0[1]_2", false},  // a file, not a folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base + " in " + (c.files.empty() ? "an empty folder" : c.files.front()));
        Refill(c.files);
        EXPECT_EQ(ImageBaseInUse(Folder() + c.folder, c.base), c.inUse);
    }
}
