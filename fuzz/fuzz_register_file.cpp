// Register files of any bytes: every line is either skipped, refused, or a write of at most 49
// values of one byte each to a register the file may write.
#include "FuzzLink.h"
#include "service/RegisterFile.h"
#include "service/WifiRegisters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const Bytes content(bytes, bytes + size);
    std::size_t characters = 0;
    for (const std::string& line : RegisterFileLines(content)) {
        characters += line.size();
        const RegisterFileEntry entry = ParseRegisterFileLine(line);
        if (entry.kind != RegisterFileEntry::Kind::Write)
            continue;
        const RegisterFileClass fileClass = FileClassOf(entry.n);
        FUZZ_CHECK(fileClass != RegisterFileClass::NotWritten);
        FUZZ_CHECK(entry.values.size() <= 49);
        if (fileClass == RegisterFileClass::FourNumbers)
            FUZZ_CHECK(entry.values.size() == 4);
        for (const int value : entry.values)
            FUZZ_CHECK(value >= 0 && value <= 255);
    }
    FUZZ_CHECK(characters <= size);
    return 0;
}
