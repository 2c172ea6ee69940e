#include "firmware/PackageFile.h"

#include <fstream>
#include <vector>

#include "core/Files.h"

namespace {

constexpr std::size_t kPackageLines = 2;
constexpr std::size_t kMaxLineLength = 4096;

std::string WithoutLineEnd(std::string line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
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
        lines.push_back(WithoutLineEnd(line));
    }
    if (lines.size() < kPackageLines) {
        images.problem = " Package file error: fewer than two lines in " + packagePath;
        return images;
    }
    const auto named = [&](const char* tag) -> const std::string* {
        for (const std::string& line : lines)
            if (line.find(tag) != std::string::npos)
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
        images.cpuFile = folder + *cpu;
        images.misFile = folder + *mis;
    }
    return images;
}
