#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kCrLf = "\r\n";

// Upper-case hexadecimal dump, two digits a byte, no separators. Reads at most the buffer's size.
std::string BytesToHex(const std::uint8_t* buffer, std::size_t count);
std::string BytesToHex(const Bytes& buffer, std::size_t count);
std::string BytesToHex(const Bytes& buffer);

// Each byte taken as one Latin-1 character, returned as UTF-8. Bytes outside the buffer are absent.
std::string BytesToText(const Bytes& buffer, std::size_t start, std::size_t length);

// Copies elements 0..n-1 (bounded by both sizes).
void CopyBytes(Bytes& destination, const Bytes& source, std::size_t n);

// The text itself when it is well-formed UTF-8; else each byte taken as one Latin-1 character, as a
// Windows program writes text in its (Western) ANSI code page.
std::string Utf8OrLatin1(const std::string& text);

// UTF-8 text to single-byte characters; nothing when a character has no single byte.
std::optional<Bytes> TextToLatin1(const std::string& utf8);

// The leading decimal number of a text (blanks skipped, optional sign, "." as decimal point);
// nothing when the text does not start with a number.
std::optional<double> LeadingNumberOf(const std::string& text);
// The same, 0 when the text does not start with a number.
double LeadingNumber(const std::string& text);

// Rounds to the nearest integer, halves going to the even one.
long long RoundHalfEven(double value);

// Zero-padded decimal text of at least `width` digits.
std::string ZeroPadded(long long value, int width);

std::string ToUpperAscii(std::string text);
// Upper-cases the ASCII and Latin-1 letters of a UTF-8 text in place of their bytes, so the length
// and every character boundary stay the same: names compared with letter case ignored.
std::string ToUpperLatin1(std::string utf8);
std::string Trim(const std::string& text);
