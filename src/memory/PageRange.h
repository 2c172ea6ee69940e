#pragma once

#include <string>

// The flash pages a memory transfer takes, first..last.
struct PageRange {
    int first = 0;
    int last = 0;

    int Count() const { return last - first + 1; }
    bool operator==(const PageRange&) const = default;
};

// A page field's number: its leading number rounded half to even (0 when it does not start with one).
int PageFieldNumber(const std::string& text);

// What is wrong with pages first..last for a download or an upload, one line each after CR LF
// (" <From> must be >0", " <To> must be <2047", " <From> must be <To>"); empty when the range lies
// in the flash.
std::string PageRangeErrors(int first, int last);
