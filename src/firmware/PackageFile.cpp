#include "firmware/PackageFile.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "core/Bytes.h"
#include "core/Files.h"
#include "core/Paths.h"

namespace {

constexpr std::size_t kPackageLines = 2;
constexpr std::size_t kMaxLineLength = 4096;

std::string WithoutLineEnd(std::string line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
}

// "a", "a and b", "a, b and c".
std::string Listed(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}

// The image a line names, relative to the package's folder. Packages are made on Windows, where
// "\" separates folders and letter case does not count: the one file the line names, case aside,
// is taken; a name nothing matches is given as written, with "/" between its parts, to be
// reported missing. Empty, with the problem, when the line could name several files.
std::string ImageNamed(const std::string& line, const std::string& folder, std::string& problem)
{
    const std::vector<std::string> found = FilesNamedCaseAside(folder, line);
    if (found.size() == 1)
        return found.front();
    if (found.empty()) {
        std::string written = line;
        std::replace(written.begin(), written.end(), '\\', '/');
        return JoinPath(folder, written);
    }
    const std::size_t lead = JoinPath(folder, "").size();
    std::vector<std::string> names;
    for (const std::string& path : found)
        names.push_back(path.substr(lead));
    problem = line + " matches " + Listed(names) + " (letter case aside)";
    return {};
}

}  // namespace

PackageImages ReadPackageFile(const std::string& packagePath, const std::string& folder)
{
    PackageImages images;
    std::ifstream stream(FsPath(packagePath), std::ios::binary);
    if (!stream) {
        images.problem = " Package file not readable: " + packagePath;
        return images;
    }
    std::vector<std::string> lines;
    for (std::string line; lines.size() < kPackageLines && std::getline(stream, line);) {
        if (line.size() > kMaxLineLength) {
            images.problem = " Package file error: line too long in " + packagePath;
            return images;
        }
        lines.push_back(Utf8OrLatin1(WithoutLineEnd(line)));
    }
    if (lines.size() < kPackageLines) {
        images.problem = " Package file error: fewer than two lines in " + packagePath;
        return images;
    }
    // Letter case aside, as in the names themselves: "27520_cpu_v1.BIN" names the CPU image.
    const auto named = [&](const char* tag) -> const std::string* {
        for (const std::string& line : lines)
            if (ToUpperAscii(line).find(tag) != std::string::npos)
                return &line;
        return nullptr;
    };
    const std::string* cpu = named("_CPU");
    const std::string* mis = named("_MIS");
    if (!cpu)
        images.problem = " Package file error: no _CPU image named in " + packagePath;
    else if (!mis)
        images.problem = " Package file error: no _MIS image named in " + packagePath;
    else if (cpu == mis)
        images.problem = " Package file error: one line names both images in " + packagePath;
    else {
        std::string ambiguous;
        images.cpuFile = ImageNamed(*cpu, folder, ambiguous);
        if (ambiguous.empty())
            images.misFile = ImageNamed(*mis, folder, ambiguous);
        if (!ambiguous.empty()) {
            images = PackageImages{};
            images.problem = " Package file error: " + ambiguous + " in " + packagePath;
        }
    }
    return images;
}
