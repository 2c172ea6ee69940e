#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// Every path in the tool is UTF-8 text in a std::string, with "/" or "\" between its parts. Files
// are opened, listed, replaced and removed only through these, never by handing the narrow text
// to the system: Windows would read it in the ANSI code page, so a folder named "Società" would
// name another file, or none.

// errno (on Windows also a system error code) and its text, for the messages that name a failure.
struct SystemError {
    int number = 0;
    std::string description;
};
// errno and its text.
SystemError LastSystemError();

// The system's path of a UTF-8 path, and back. On Windows a text that is not UTF-8 is taken as
// Latin-1 (Windows would refuse it).
std::filesystem::path FsPath(const std::string& utf8);
std::string Utf8Path(const std::filesystem::path& path);

// std::fopen of a UTF-8 path; errno tells why on failure.
std::FILE* OpenStdioFile(const std::string& path, const char* mode);

// Removes a file (not a folder); false when there is none or it cannot be removed.
bool RemoveFile(const std::string& path);

// What a relative path, its parts separated by "/" or "\", names inside `folder` when letter case
// does not count (as on Windows, where files named with it were made): for each part the entry of
// exactly that name where there is one, else every entry whose name differs only in the case of
// ASCII and Latin-1 letters. Paths are the folder joined with the entries' names by "/". None when
// nothing matches; several when names differ only in case.
std::vector<std::string> FilesNamedCaseAside(const std::string& folder, const std::string& relative);

// Files as the tool writes them: never half written under their own name.

// Moves `from` over `to`, replacing a file of that name in one step (on Windows too, where a plain
// rename refuses an existing target). False with the system's reason when it cannot.
bool PutFileInPlace(const std::string& from, const std::string& to, SystemError& error);

// Writes `content` into `path + ".part"`, then puts it in place of `path`: a reader finds the old
// file or the whole new one, never a part. False with the system's reason (the partial file gone).
bool WriteWholeFile(const std::string& path, const std::string& content, std::string& why);
