#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "memory/ImageFiles.h"

namespace fs = std::filesystem;

namespace {

InstrumentInfo Vrta708()
{
    InstrumentInfo info;
    info.Name = "VRTA708";
    info.SerialNumber = "00001234";
    info.FwVersion = "1.05";
    info.FwDetail = "0000";
    return info;
}

const LocalDateTime kMarch5 = {2025, 3, 5, 14, 7, 9};

// A fresh folder under the system temporary folder, removed with everything in it afterwards.
class ImageFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static std::atomic<int> serial{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        folder_ = fs::temp_directory_path()
            / ("imagefiles-" + std::to_string(stamp) + "-" + std::to_string(serial++));
        ASSERT_TRUE(fs::create_directory(folder_));
    }

    void TearDown() override
    {
        std::error_code error;
        fs::remove_all(folder_, error);
    }

    std::string Folder() const { return folder_.string(); }
    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

    void Touch(const std::string& name) const
    {
        std::ofstream file(folder_ / name, std::ios::binary);
        file << 'x';
        ASSERT_TRUE(file.good()) << name;
    }

private:
    fs::path folder_;
};

}  // namespace

// --- names ---

TEST(ImageNames, BaseNameFromIdentificationAndClock)
{
    const auto info = [](const char* name, const char* serial, const char* fw) {
        InstrumentInfo i = Vrta708();
        i.Name = name;
        i.SerialNumber = serial;
        i.FwVersion = fw;
        return i;
    };
    const struct {
        InstrumentInfo info;
        LocalDateTime at;
        const char* base;
    } cases[] = {
        {Vrta708(), kMarch5, "VRTA708_00001234_fwV1.05_250305140709"},
        {info("VRTA708", "00001234", "1.13a"), {1999, 12, 31, 23, 59, 58}, "VRTA708_00001234_fwV1.13_991231235958"},
        {info("VRTA708", "00001234", "1"), {2000, 1, 1, 0, 0, 0}, "VRTA708_00001234_fwV1_000101000000"},
        {info("VRTA708", "00001234", ""), {2100, 10, 2, 3, 4, 5}, "VRTA708_00001234_fwV_001002030405"},
        // Four characters of the firmware text, not four bytes.
        {info("VRTA708", "00001234", "1\xC3\xA9" "05x"), kMarch5, "VRTA708_00001234_fwV1\xC3\xA9" "05_250305140709"},
        // What cannot stand in a file name becomes "-", and so does a leading "." (a hidden file).
        {info("VRTA708", "12/../34", "1.0*"), kMarch5, "VRTA708_12-..-34_fwV1.0-_250305140709"},
        {info("../x", "1\\2:3", "<>|?"), kMarch5, "-.-x_1-2-3_fwV----_250305140709"},
        {info(".", "\x01\x7F", "\"1"), kMarch5, "-_--_fwV-1_250305140709"},
        {info("", "", ""), kMarch5, "__fwV_250305140709"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ImageBaseName(c.info, c.at), c.base);
}

TEST(ImageNames, EepromAndFlashNamesShareTheBase)
{
    const std::string base = ImageBaseName(Vrta708(), kMarch5);
    EXPECT_EQ(EepromImageName(base), "VRTA708_00001234_fwV1.05_250305140709.epr");
    EXPECT_EQ(FlashImageName(base, 0, 27), "VRTA708_00001234_fwV1.05_250305140709_0000-0027.fla");
    EXPECT_EQ(FlashImageName("X", 5, 27), "X_0005-0027.fla");
    EXPECT_EQ(FlashImageName("X", 0, kFlashLastPage), "X_0000-2047.fla");
}

// --- taking a flash image name apart ---

TEST(FlashImageNameParsing, AcceptedAndRejectedNames)
{
    struct Pages {
        int first;
        int last;
    };
    const std::vector<std::pair<std::string, std::optional<Pages>>> cases = {
        {"QS408t_77_fwV2.00_250101000000_0005-0027.fla", Pages{5, 27}},
        {"QS408t_0005-0027.fla", Pages{5, 27}},
        {"QS4_0005-0027.fla", Pages{5, 27}},                  // 17 characters, the shortest accepted
        {"QS408t_0000-2047.FLA", Pages{0, 2047}},
        {"QS408t_0005-0027.bin", Pages{5, 27}},               // extension not examined
        {"QS408t_x005-0027.fla", Pages{0, 27}},               // group not starting with a digit
        {"QS408t_0005-abcd.fla", Pages{5, 0}},
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
        {"QS408t_00050-027.fla", std::nullopt},
        {"/folder/Q_0001-0002.fla", std::nullopt},             // the name alone has 15 characters
        {"", std::nullopt}, {"_", std::nullopt}, {"-", std::nullopt}, {".fla", std::nullopt},
    };
    for (const auto& [name, pages] : cases) {
        SCOPED_TRACE(name);
        const auto parsed = ParseFlashImageName(name);
        ASSERT_EQ(parsed.has_value(), pages.has_value());
        if (pages) {
            EXPECT_EQ(parsed->first, pages->first);
            EXPECT_EQ(parsed->last, pages->last);
        }
    }
    // Built names parse back; names of one repeated character never have both separators.
    const std::string base = ImageBaseName(Vrta708(), kMarch5);
    for (const auto& [first, last] : {std::pair{0, 0}, {5, 27}, {0, 2047}, {2047, 2047}, {9, 10}}) {
        const auto pages = ParseFlashImageName(FlashImageName(base, first, last));
        ASSERT_TRUE(pages) << first << "-" << last;
        EXPECT_EQ(pages->first * 10000 + pages->last, first * 10000 + last);
    }
    for (std::size_t length = 0; length <= 20; ++length)
        for (const char fill : {'_', '-', '0', '\xC3', '\x80'})
            EXPECT_FALSE(ParseFlashImageName(std::string(length, fill))) << length << " " << int(fill);
}

// --- device name and record count ---

TEST(EepromImageDeviceName, TextBeforeFirstUnderscore)
{
    EXPECT_EQ(DeviceNameOfEepromImage("QS408t_77_fwV2.00_250101000000.epr"), "QS408t");
    EXPECT_EQ(DeviceNameOfEepromImage("QMX-ARN+_1_fwV1_250101000000.epr"), "QMX-ARN+");
    EXPECT_EQ(DeviceNameOfEepromImage("_x.epr"), "");
    EXPECT_EQ(DeviceNameOfEepromImage("/tmp/a_b/VRTA708_1.epr"), "VRTA708");
    EXPECT_EQ(DeviceNameOfEepromImage("C:\\a_b\\VRTA709_1.epr"), "VRTA709");
    EXPECT_FALSE(DeviceNameOfEepromImage("QS408t.epr"));
    EXPECT_FALSE(DeviceNameOfEepromImage("/tmp/a_b/QS408t.epr"));
    EXPECT_FALSE(DeviceNameOfEepromImage(""));
}

TEST(EepromImageRecordCount, OffsetsByDeviceName)
{
    for (const char* name : {"QSLUM", "QS408t"})
        EXPECT_EQ(RecordCountOffset(name), 154) << name;
    for (const char* name : {"QMX-ARN", "BRSKCHK", "VRTA708", "VRTA709", "VRTA710", "VRTA611",
                             "ULTVRTS", "QMX-ARN+", "GRP4917"})
        EXPECT_EQ(RecordCountOffset(name), 272) << name;
    for (const char* name : {"QSVRFMAX", "qs408t", "VRTA70", "VRTA7080", " QSLUM", ""})
        EXPECT_FALSE(RecordCountOffset(name)) << '"' << name << '"';
}

TEST(EepromImageRecordCount, LowByteFirst)
{
    Bytes image(kEepromSize, 0xFF);
    image[272] = 0x2C;
    image[273] = 0x01;
    EXPECT_EQ(RecordCountInImage(image, 272), 300);

    image[154] = 0x01;
    image[155] = 0x2C;
    EXPECT_EQ(RecordCountInImage(image, 154), 0x2C01);

    EXPECT_EQ(RecordCountInImage(image, 0), 0xFFFF);          // no sign extension
    EXPECT_EQ(RecordCountInImage(image, kEepromSize - 2), 0xFFFF);
}

TEST(EepromImageRecordCount, ShortImagesAndBadOffsets)
{
    Bytes image(274, 0);
    image[272] = 0x2C;
    image[273] = 0x01;
    EXPECT_EQ(RecordCountInImage(image, 272), 300);  // just long enough

    image.resize(273);
    EXPECT_FALSE(RecordCountInImage(image, 272));
    EXPECT_FALSE(RecordCountInImage(Bytes{}, 0));
    EXPECT_FALSE(RecordCountInImage(Bytes{0x01}, 0));
    EXPECT_EQ(RecordCountInImage(Bytes{0x01, 0x02}, 0), 0x0201);
    EXPECT_FALSE(RecordCountInImage(Bytes{0x01, 0x02}, 1));
    EXPECT_FALSE(RecordCountInImage(Bytes(kEepromSize, 0), -1));
    EXPECT_FALSE(RecordCountInImage(Bytes(kEepromSize, 0), kEepromSize - 1));
    EXPECT_FALSE(RecordCountInImage(Bytes(kEepromSize, 0), INT_MAX));
}

// --- finding the flash image of an EEPROM image ---

TEST_F(ImageFolderTest, FindsFlashImageOfTheSameDownloadOnly)
{
    Touch("X_1_fwV1_250101000000.epr");
    Touch("X_1_fwV1_250101000001_0000-0027.fla");
    EXPECT_FALSE(FindFlashImageFor(PathOf("X_1_fwV1_250101000000.epr")));

    Touch("X_1_fwV1_250101000000_0000-0027.fla");
    EXPECT_EQ(FindFlashImageFor(PathOf("X_1_fwV1_250101000000.epr")),
              PathOf("X_1_fwV1_250101000000_0000-0027.fla"));
    // The other download's EEPROM image finds its own flash image.
    EXPECT_EQ(FindFlashImageFor(PathOf("X_1_fwV1_250101000001.epr")),
              PathOf("X_1_fwV1_250101000001_0000-0027.fla"));
}

TEST_F(ImageFolderTest, LetterCaseIgnored)
{
    Touch("X_1_fwV1_250101000000_0000-0027.FLA");
    EXPECT_EQ(FindFlashImageFor(PathOf("X_1_fwV1_250101000000.epr")),
              PathOf("X_1_fwV1_250101000000_0000-0027.FLA"));
    EXPECT_EQ(FindFlashImageFor(PathOf("x_1_FWV1_250101000000.EPR")),
              PathOf("X_1_fwV1_250101000000_0000-0027.FLA"));

    Touch("\xC3\xA9_1_0000-0001.fla");  // e acute, found from its capital
    EXPECT_EQ(FindFlashImageFor(PathOf("\xC3\x89_1.epr")), PathOf("\xC3\xA9_1_0000-0001.fla"));

    Touch("\xC3\xB7_1_0000-0001.fla");  // division sign is no letter: not the multiplication sign
    EXPECT_FALSE(FindFlashImageFor(PathOf("\xC3\x97_1.epr")));
}

TEST_F(ImageFolderTest, WildcardAndExtensionRules)
{
    EXPECT_FALSE(FindFlashImageFor(PathOf("A_1.epr")));  // empty folder

    Touch("A_1.fla.bak");
    Touch("A_1_0000-0001.flax");
    Touch("A_1.fl");
    fs::create_directory(PathOf("A_1_dir.fla"));
    EXPECT_FALSE(FindFlashImageFor(PathOf("A_1.epr")));

    Touch("A_1.fla");  // "*" may match nothing
    EXPECT_EQ(FindFlashImageFor(PathOf("A_1.epr")), PathOf("A_1.fla"));
    // Only the last four characters are dropped, whatever they are.
    EXPECT_EQ(FindFlashImageFor(PathOf("A_1.xyz")), PathOf("A_1.fla"));
}

TEST_F(ImageFolderTest, BaseCharactersAreLiteral)
{
    Touch("V1x0[1]_2_0000-0001.fla");
    Touch("V1.01_2_0000-0001.fla");
    EXPECT_FALSE(FindFlashImageFor(PathOf("V1.0[1]_2.epr")));

    Touch("v1.0[1]_2_0005-0006.fla");
    EXPECT_EQ(FindFlashImageFor(PathOf("V1.0[1]_2.epr")), PathOf("v1.0[1]_2_0005-0006.fla"));

    Touch("S*?_3_0000-0001.fla");
    Touch("S12_3_0000-0001.fla");
    EXPECT_EQ(FindFlashImageFor(PathOf("S*?_3.epr")), PathOf("S*?_3_0000-0001.fla"));
    EXPECT_EQ(FindFlashImageFor(PathOf("S12_3.epr")), PathOf("S12_3_0000-0001.fla"));
}

TEST_F(ImageFolderTest, SeveralMatchesTakeFirstByNameIgnoringCase)
{
    Touch("X_1_fwV1_250101000000_0028-0040.fla");
    Touch("X_1_fwV1_250101000000_0005-0027.fla");
    Touch("x_1_fwV1_250101000000_0001-0002.fla");  // last by bytes, first with case ignored
    EXPECT_EQ(FindFlashImageFor(PathOf("X_1_fwV1_250101000000.epr")),
              PathOf("x_1_fwV1_250101000000_0001-0002.fla"));

    Touch("X_1_fwV1_250101000000_0000-0001.FLA");
    EXPECT_EQ(FindFlashImageFor(PathOf("X_1_fwV1_250101000000.epr")),
              PathOf("X_1_fwV1_250101000000_0000-0001.FLA"));
}

TEST_F(ImageFolderTest, PathForms)
{
    Touch("X_1_0000-0027.fla");
    // The file name may also follow a backslash; the result keeps the separator given.
    EXPECT_EQ(FindFlashImageFor(Folder() + "\\X_1.epr"), Folder() + "\\X_1_0000-0027.fla");
    EXPECT_EQ(FindFlashImageFor(Folder() + "/X_1.epr"), Folder() + "/X_1_0000-0027.fla");

    EXPECT_FALSE(FindFlashImageFor(Folder() + "/missing/X_1.epr"));
    EXPECT_FALSE(FindFlashImageFor(PathOf("X_1_0000-0027.fla") + "/X_1.epr"));  // not a folder
}

TEST_F(ImageFolderTest, ShortEepromNames)
{
    Touch("B_0000-0001.fla");
    EXPECT_FALSE(FindFlashImageFor(""));
    EXPECT_FALSE(FindFlashImageFor(Folder() + "/"));
    EXPECT_FALSE(FindFlashImageFor(PathOf("abc")));
    EXPECT_EQ(FindFlashImageFor(PathOf("B_.epr")), PathOf("B_0000-0001.fla"));
    EXPECT_FALSE(FindFlashImageFor(PathOf("C_.epr")));
    // Four characters leave an empty prefix, so any flash image of the folder belongs to it.
    EXPECT_EQ(FindFlashImageFor(PathOf(".epr")), PathOf("B_0000-0001.fla"));
    EXPECT_EQ(FindFlashImageFor(PathOf("C.ep")), PathOf("B_0000-0001.fla"));
}

// --- base names already in use ---

TEST_F(ImageFolderTest, BaseInUseByEepromImage)
{
    const std::string base = "X_1_fwV1_250101000000";
    EXPECT_FALSE(ImageBaseInUse(Folder(), base));

    Touch("X_1_fwV1_250101000000.epr.bak");
    Touch("X_1_fwV1_2501010000001.epr");
    Touch("X_1_fwV1_25010100000.epr");
    EXPECT_FALSE(ImageBaseInUse(Folder(), base));

    Touch("x_1_fwv1_250101000000.EPR");
    EXPECT_TRUE(ImageBaseInUse(Folder(), base));
    EXPECT_FALSE(ImageBaseInUse(Folder(), "X_1_fwV1_250101000001"));
}

TEST_F(ImageFolderTest, BaseInUseByFlashImage)
{
    const std::string base = "X_1_fwV1_250101000000";
    Touch("X_1_fwV1_2501010000000_0000-0027.fla");   // another base that extends this one
    Touch("X_1_fwV1_250101000000.fla");               // no "_" after the base
    Touch("X_1_fwV1_250101000000_0000-0027.fla.tmp");
    EXPECT_FALSE(ImageBaseInUse(Folder(), base));

    Touch("X_1_fwV1_250101000000_0000-0027.FLA");
    EXPECT_TRUE(ImageBaseInUse(Folder(), base));
    EXPECT_TRUE(ImageBaseInUse(Folder() + "/", base));
    EXPECT_FALSE(ImageBaseInUse(Folder(), "X_1_fwV1_250101000001"));
}

TEST_F(ImageFolderTest, BaseInUseTakesBaseLiterallyAndIgnoresMissingFolders)
{
    Touch("V1x0[1]_2_0000-0001.fla");
    EXPECT_FALSE(ImageBaseInUse(Folder(), "V1.0[1]_2"));
    Touch("V1.0[1]_2_.fla");  // "*" may match nothing
    EXPECT_TRUE(ImageBaseInUse(Folder(), "V1.0[1]_2"));

    EXPECT_FALSE(ImageBaseInUse(Folder() + "/missing", "V1.0[1]_2"));
    EXPECT_FALSE(ImageBaseInUse(PathOf("V1.0[1]_2_.fla"), "V1.0[1]_2"));  // a file, not a folder
}
