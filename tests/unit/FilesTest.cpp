// Files by UTF-8 paths on every system: put in place of an existing file in one step, written whole,
// removed. (The operations that save through them: MemoryOperations, ServiceOperation, CliFiles.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/Files.h"
#include "core/Platform.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace {

std::string Text(const std::string& path)
{
    const Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

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
    const std::string target = WriteFileText(folder + "/VRTA708_1.epr", "earlier");
    const std::string subfolder = folder + "/VRTA708_2.epr";
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(subfolder)));
    const struct {
        const char* story;
        std::string from;  // written with "new" unless empty
        std::string to;
        bool done;
    } cases[] = {
        {"over an existing file", folder + "/x.part", target, true},
        {"to a new name", folder + "/y.part", folder + "/\xC3\xA8_2.epr", true},
        {"from a file that is not there", "", target, false},
        {"over a folder", folder + "/z.part", subfolder, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        WriteFileText(target, "earlier");
        const std::string from = c.from.empty() ? folder + "/missing.part" : WriteFileText(c.from, "new");
        SystemError error;
        EXPECT_EQ(PutFileInPlace(from, c.to, error), c.done) << error.description;
        EXPECT_EQ(error.description.empty(), c.done);
        if (c.done) {
            EXPECT_EQ(Text(c.to), "new");
            EXPECT_FALSE(Exists(from));
        } else {
            EXPECT_EQ(Text(target), "earlier");
        }
    }
}

TEST(Files, WriteWholeFileReplacesTheFileAndLeavesNoPart)
{
    TempFolder temp;
    const std::string path = WriteFileText(temp.Path("sheet \xC3\xB2.csv"), "earlier sheet");
    std::string why;
    ASSERT_TRUE(WriteWholeFile(path, "index,value\n", why)) << why;
    EXPECT_EQ(Text(path), "index,value\n");
    EXPECT_EQ(FileNamesIn(temp.Path()), std::vector<std::string>{"sheet \xC3\xB2.csv"});

    EXPECT_FALSE(WriteWholeFile(temp.Path("missing/sheet.csv"), "x", why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(FileNamesIn(temp.Path()), std::vector<std::string>{"sheet \xC3\xB2.csv"});
}

// Removing takes files only: a folder named like the file stays.
TEST(Files, RemoveFileTakesFilesOnly)
{
    TempFolder temp;
    const std::string file = WriteFileText(temp.Path("\xC3\xA9.part"), "x");
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(temp.Path("folder.part"))));
    EXPECT_TRUE(RemoveFile(file));
    EXPECT_FALSE(Exists(file));
    EXPECT_FALSE(RemoveFile(file));
    EXPECT_FALSE(RemoveFile(temp.Path("folder.part")));
    EXPECT_TRUE(Exists(temp.Path("folder.part")));
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
    const struct {
        const char* relative;
        Found found;    // where letter case counts
        Found windows;  // where it does not: the name as written
    } cases[] = {
        {"bin\\CITT\xC3\x80.bin", {top + "/Bin/Citt\xC3\xA0.BIN"}, {top + "/bin/CITT\xC3\x80.bin"}},
        {"./BIN//citt\xC3\xA0.bin", {top + "/Bin/Citt\xC3\xA0.BIN"}, {top + "/BIN/citt\xC3\xA0.bin"}},
        {"Bin/Citta.BIN", {}, {}},  // "a" is not "à"
        {"a.bin", {top + "/a.bin"}, {top + "/a.bin"}},
        {"A.BIN", {top + "/A.bin", top + "/a.bin"}, {top + "/A.BIN"}},
        {"Bin", {top + "/Bin"}, {top + "/Bin"}},
        {"missing/a.bin", {}, {}},
        {"", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.relative);
        EXPECT_EQ(FilesNamedCaseAside(top, c.relative), caseCounts ? c.found : c.windows);
    }
}

// A path that is not UTF-8 (a name read from a file written in a single-byte code page) names no
// file here and ends nothing: Windows would otherwise refuse to convert it at all.
TEST(Files, APathThatIsNotUtf8NamesNoFileAndEndsNothing)
{
    TempFolder temp;
    const std::string path = temp.Path("Citt\xE0.bin");
    EXPECT_TRUE(ReadFileBytes(path).empty());
    EXPECT_EQ(OpenStdioFile(path, "rb"), nullptr);
    EXPECT_FALSE(RemoveFile(path));
    EXPECT_TRUE(FilesNamedCaseAside(temp.Path(), "Citt\xE0.bin").empty());
    SystemError error;
    EXPECT_FALSE(PutFileInPlace(path, temp.Path("x.bin"), error));
}
