// Firmware images as pages, the percentage arithmetic and package files. (The page writers on both
// routes and their addresses: the FirmwareUpload tests.)
#include <gtest/gtest.h>

#include <filesystem>

#include "core/Bytes.h"
#include "core/Files.h"
#include "core/Platform.h"
#include "firmware/PackageFile.h"
#include "firmware/PageImage.h"
#include "firmware/PageWriter.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace {

// A folder of the test's own with the images written into it.
struct ImageFolder : TempFolder {
    std::string Write(const std::string& name, const Bytes& bytes) const { return WriteFileBytes(Path(name), bytes); }
    std::string WriteText(const std::string& name, const std::string& text) const { return WriteFileText(Path(name), text); }
};

Bytes Image(std::size_t size, unsigned seed = 7)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 131 + seed + (i >> 8)) & 0xFF);
    return bytes;
}

std::uint8_t CheckOf(const std::uint8_t* data)
{
    std::uint8_t x = 0;
    for (int i = 0; i < kPageDataSize; ++i)
        x ^= data[i];
    return static_cast<std::uint8_t>(0xFF ^ x);
}

}  // namespace

TEST(PageImage, PagesPaddingAndCheckBytesByFileSize)
{
    ImageFolder folder;
    PageImage image;
    // 1000 bytes: four pages, the last padded with zeros after its 232 bytes.
    const struct {
        std::size_t size;
        int pages;
    } cases[] = {{0, 0}, {1, 1}, {255, 1}, {256, 1}, {257, 2}, {512, 2}, {513, 3}, {1000, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const Bytes data = Image(c.size, static_cast<unsigned>(c.size));
        ASSERT_EQ(image.fillArray(folder.Write("f.bin", data)), ImageLoad::Loaded);
        EXPECT_EQ(image.PageCount(), c.pages);
        for (int p = 0; p < c.pages; ++p) {
            const std::uint8_t* row = image.Row(p);
            for (int i = 0; i < kPageDataSize; ++i) {
                const std::size_t at = static_cast<std::size_t>(p) * kPageDataSize + static_cast<std::size_t>(i);
                ASSERT_EQ(row[i], at < data.size() ? data[at] : 0x00) << "page " << p << " byte " << i;
            }
            EXPECT_EQ(row[kPageDataSize], CheckOf(row));
        }
    }
}

TEST(PageImage, SizeLimitOnBothSidesAndFilesThatCannotLoad)
{
    ImageFolder folder;
    PageImage image;

    Bytes largest = Image(kMaxImageBytes);
    ASSERT_EQ(image.fillArray(folder.Write("max.bin", largest)), ImageLoad::Loaded);
    EXPECT_EQ(image.PageCount(), 8001);
    EXPECT_EQ(image.Row(8000)[255], largest.back());

    ASSERT_EQ(image.fillArray(folder.Write("five.bin", Image(5 * 256))), ImageLoad::Loaded);
    largest.push_back(0x42);
    const std::string tooLarge = folder.Write("big.bin", largest);
    EXPECT_EQ(image.fillArray(tooLarge), ImageLoad::TooLarge);
    EXPECT_EQ(image.PageCount(), 5) << "nothing changes";
    EXPECT_EQ(CheckImageFile(tooLarge).result, ImageLoad::TooLarge) << "the check before anything is sent";

    EXPECT_EQ(image.fillArray(folder.Path("none.bin")), ImageLoad::Missing);
    EXPECT_EQ(image.fillArray(""), ImageLoad::Missing);
    EXPECT_EQ(image.fillArray(folder.Path()), ImageLoad::Unreadable) << "a folder";
    EXPECT_EQ(image.PageCount(), 5);
}

TEST(Percentage, StepAndRoundingOfBarAndLabel)
{
    EXPECT_FLOAT_EQ(PercentStep(9), 10.0F);
    // 7 pages: step 12.5, so the halves show how each rounds.
    const float step = PercentStep(7);
    const struct {
        int done;
        int bar;          // half to the even neighbour
        const char* label;  // half away from zero
    } cases[] = {{0, 0, "0%"}, {1, 12, "13%"}, {2, 25, "25%"}, {3, 38, "38%"}, {5, 62, "63%"}, {7, 88, "88%"}};
    for (const auto& c : cases) {
        EXPECT_EQ(BarValue(c.done, step), c.bar) << c.done;
        EXPECT_EQ(PercentText(c.done, step), c.label) << c.done;
    }
    // 2 pages: step 33.333332 in single precision; 2 pages show 67.
    EXPECT_EQ(PercentText(2, PercentStep(2)), "67%");
    EXPECT_EQ(BarValue(1, PercentStep(2)), 33);
}

// Beyond the FirmwareUpload tests' packages (either line order, one line, no _CPU or no _MIS line).
// Packages are written on Windows: back slashes, letter case that differs from the files, names in
// Windows' own code page; the one file a line names, case aside, is taken, and a line that could
// name two files is refused.
TEST(PackageFile, LinesBeyondTheFirstTwoWindowsLinesAndMalformedPackages)
{
    ImageFolder folder;
    const std::string dir = folder.Path() + "/";
    std::filesystem::create_directory(FsPath(dir + "bin"));
    for (const char* name : {"bin/27520_CPU_V2.bin", "bin/27520_MIS_V2.bin", "bin/Citt\xC3\xA0_CPU.bin", "x_CPU.bin", "x_MIS.bin"})
        folder.Write(name, Image(10));
    const bool caseSensitive = kThisOs != OsFamily::Windows;  // one folder holds x_CPU.bin and x_cpu.bin
    // Windows opens a file whatever the letter case of its name.
    const auto file = [&](const std::string& path) { return caseSensitive ? path : ToUpperAscii(path); };
    if (caseSensitive)
        folder.Write("x_cpu.bin", Image(10));
    const struct {
        const char* name;
        const char* content;
        const char* cpu;
        const char* mis;
        const char* problem;
    } cases[] = {
        {"no line end", "a_MIS.bin\nb_CPU.bin", "b_CPU.bin", "a_MIS.bin", nullptr},
        {"a third line is not read", "a_CPU.bin\r\nb_MIS.bin\r\nc_MIS.bin\r\n", "a_CPU.bin", "b_MIS.bin", nullptr},
        {"back slashes", "bin\\27520_CPU_V2.bin\r\nbin\\27520_MIS_V2.bin\r\n", "bin/27520_CPU_V2.bin",
         "bin/27520_MIS_V2.bin", nullptr},
        {"names and folders in other letter case", "BIN\\27520_cpu_v2.BIN\r\n.\\Bin\\27520_mis_v2.bin\r\n",
         "bin/27520_CPU_V2.bin", "bin/27520_MIS_V2.bin", nullptr},
        // Notepad's ANSI code page: one byte a letter.
        {"a name in Windows' code page", "bin\\Citt\xE0_CPU.bin\r\nx_MIS.bin\r\n", "bin/Citt\xC3\xA0_CPU.bin", "x_MIS.bin",
         nullptr},
        {"a name nothing matches, as written", "bin\\None_CPU.bin\r\nx_MIS.bin\r\n", "bin/None_CPU.bin", "x_MIS.bin", nullptr},
        {"a name written exactly", "x_MIS.bin\r\nx_CPU.bin\r\n", "x_CPU.bin", "x_MIS.bin", nullptr},
        {"empty", "", nullptr, nullptr, "fewer than two lines"},
        {"_CPU on the third line only", "a_MIS.bin\r\nb.bin\r\nc_CPU.bin\r\n", nullptr, nullptr, "no _CPU image"},
        {"one line names both", "a_CPU_MIS.bin\r\nb.bin\r\n", nullptr, nullptr, "one line names both"},
        {"a name that could be two files", "x_Cpu.bin\r\nx_MIS.bin\r\n", caseSensitive ? nullptr : "x_CPU.bin", "x_MIS.bin",
         caseSensitive ? "x_Cpu.bin matches x_CPU.bin and x_cpu.bin (letter case aside) in " : nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.WriteText("p.pkg", c.content);
        const PackageImages images = ReadPackageFile(path, dir);
        if (c.problem) {
            EXPECT_FALSE(images.ok());
            EXPECT_EQ(images.problem.rfind(" Package file error: ", 0), 0u) << images.problem;
            EXPECT_NE(images.problem.find(c.problem), std::string::npos) << images.problem;
            EXPECT_NE(images.problem.find(path), std::string::npos) << "names the package";
        } else {
            ASSERT_TRUE(images.ok()) << images.problem;
            EXPECT_EQ(file(images.cpuFile), file(dir + c.cpu));
            EXPECT_EQ(file(images.misFile), file(dir + c.mis));
        }
    }
    EXPECT_EQ(ReadPackageFile(dir + "none.pkg", dir).problem, " Package file not readable: " + dir + "none.pkg");
}
