// Files by UTF-8 paths on every system: put in place, removed, found with letter case aside.
#include <gtest/gtest.h>

#include "core/Platform.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace {

bool Exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(FsPath(path), error);
}

}  // namespace

// A backup saved again under its own name replaces the earlier one, on Windows too, where a plain
// rename refuses a name that is taken; what cannot be put in place leaves the target as it was.
TEST(Files, PutInPlaceReplacesAnExistingFileOrLeavesItAsItWas)
{
    TempFolder temp;
    const std::string folder = temp.Path("Societ\xC3\xA0");
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(folder)));
    const std::string target = folder + "/VRTA708_1.epr";
    const std::string subfolder = folder + "/VRTA708_2.epr";
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(subfolder)));
    // From a file written with "new", unless none is named.
    const struct { std::string from, to; bool done; } cases[] = {
        {folder + "/x.part", target, true},                     // over an existing file
        {folder + "/y.part", folder + "/\xC3\xA8_2.epr", true},  // to a new name
        {"", target, false},                                    // from a file that is not there
        {folder + "/z.part", subfolder, false},                 // over a folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        WriteFileText(target, "earlier");
        const std::string from = c.from.empty() ? folder + "/missing.part" : WriteFileText(c.from, "new");
        SystemError error;
        EXPECT_EQ(PutFileInPlace(from, c.to, error), c.done) << error.description;
        EXPECT_EQ(error.description.empty(), c.done);
        EXPECT_EQ(ReadFileText(c.done ? c.to : target), c.done ? "new" : "earlier");
        EXPECT_FALSE(c.done && Exists(from));
    }
}

// Removing takes files only. A path that is not UTF-8 (a name from a single-byte code page) names no
// file and ends nothing: Windows would otherwise refuse to convert it at all.
TEST(Files, RemoveTakesFilesOnlyAndAPathThatIsNotUtf8NamesNoFile)
{
    TempFolder temp;
    const std::string file = WriteFileText(temp.Path("\xC3\xA9.part"), "x");
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(temp.Path("folder.part"))));
    EXPECT_TRUE(RemoveFile(file));
    EXPECT_FALSE(Exists(file));
    EXPECT_FALSE(RemoveFile(file));
    EXPECT_FALSE(RemoveFile(temp.Path("folder.part")));
    EXPECT_TRUE(Exists(temp.Path("folder.part")));

    const std::string latin1 = temp.Path("Citt\xE0.bin");
    EXPECT_TRUE(ReadFileBytes(latin1).empty());
    EXPECT_EQ(OpenStdioFile(latin1, "rb"), nullptr);
    EXPECT_FALSE(RemoveFile(latin1));
    EXPECT_TRUE(FilesNamedCaseAside(temp.Path(), "Citt\xE0.bin").empty());
    SystemError error;
    EXPECT_FALSE(PutFileInPlace(latin1, temp.Path("x.bin"), error));
}

// Names from a Windows machine, where letter case does not count, found in a folder where it does.
TEST(Files, NamesFoundWithLetterCaseAside)
{
    TempFolder temp;
    const std::string top = temp.Path();
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(temp.Path("Bin"))));
    WriteFileText(temp.Path("Bin/Citt\xC3\xA0.BIN"), "x");
    WriteFileText(temp.Path("a.bin"), "x");
    const bool caseCounts = kThisOs == OsFamily::Unix;  // on Windows one name stands for both
    if (caseCounts)
        WriteFileText(temp.Path("A.bin"), "x");
    using Found = std::vector<std::string>;
    // Where letter case counts, and where it does not (the name as written).
    const struct { const char* relative; Found found, windows; } cases[] = {
        {"bin\\CITT\xC3\x80.bin", {top + "/Bin/Citt\xC3\xA0.BIN"}, {top + "/bin/CITT\xC3\x80.bin"}},
        {"./BIN//citt\xC3\xA0.bin", {top + "/Bin/Citt\xC3\xA0.BIN"}, {top + "/BIN/citt\xC3\xA0.bin"}},
        {"Bin/Citta.BIN", {}, {}},  // "a" is not "à"
        {"a.bin", {top + "/a.bin"}, {top + "/a.bin"}},
        {"A.BIN", {top + "/A.bin", top + "/a.bin"}, {top + "/A.BIN"}},
        {"Bin", {top + "/Bin"}, {top + "/Bin"}},
        {"missing/a.bin", {}, {}},
        {"", {}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FilesNamedCaseAside(top, c.relative), caseCounts ? c.found : c.windows) << c.relative;
}
