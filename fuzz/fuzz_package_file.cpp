// Package files of any bytes: either refused with a reason, or two different images, one named by
// a "_CPU" line and one by a "_MIS" line (letter case aside), both in the package's folder.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "FuzzLink.h"
#include "core/Bytes.h"
#include "firmware/PackageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    static const std::string path = "/tmp/fuzz_package_" + std::to_string(getpid()) + ".pkg";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(bytes, 1, size, file) == size);
    std::fclose(file);

    const std::string folder = "/packages/27520_Pack_V1-02/";
    const PackageImages images = ReadPackageFile(path, folder);
    if (images.ok()) {
        FUZZ_CHECK(images.cpuFile.rfind(folder, 0) == 0 && images.misFile.rfind(folder, 0) == 0);
        FUZZ_CHECK(ToUpperAscii(images.cpuFile).find("_CPU") != std::string::npos);
        FUZZ_CHECK(ToUpperAscii(images.misFile).find("_MIS") != std::string::npos);
        FUZZ_CHECK(images.cpuFile != images.misFile);
    } else {
        FUZZ_CHECK(images.cpuFile.empty() && images.misFile.empty());
    }
    return 0;
}
