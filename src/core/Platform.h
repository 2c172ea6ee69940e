#pragma once

// The two kinds of system the program is built for. Code that differs by system takes the kind as
// a parameter (defaulting to this one), so both variants are tested on either.
enum class OsFamily { Windows, Unix };

#ifdef _WIN32
constexpr OsFamily kThisOs = OsFamily::Windows;
#else
constexpr OsFamily kThisOs = OsFamily::Unix;
#endif
