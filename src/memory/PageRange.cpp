#include "memory/PageRange.h"

#include <algorithm>

#include "core/Bytes.h"
#include "memory/ImageFiles.h"

int PageFieldNumber(const std::string& text)
{
    return static_cast<int>(std::clamp<long long>(RoundHalfEven(LeadingNumber(text)), -1000000000, 1000000000));
}

std::string PageRangeErrors(int first, int last)
{
    std::string errors;
    const auto check = [&](bool failed, const char* message) {
        if (failed)
            errors += kCrLf + std::string(message);
    };
    check(first < 0, " <From> must be >0");
    check(first > kFlashLastPage, " <From> must be <2047");
    check(last < 0, " <To> must be >0");
    check(last > kFlashLastPage, " <To> must be <2047");
    check(first > last, " <From> must be <To>");
    return errors;
}
