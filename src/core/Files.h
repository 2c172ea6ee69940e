#pragma once

#include <string>

// Files as the tool writes them: never half written under their own name.

// Moves `from` over `to`, replacing a file of that name in one step (on Windows too, where a plain
// rename refuses an existing target). False with the system's reason when it cannot.
bool ReplaceFile(const std::string& from, const std::string& to, std::string& why);

// Writes `content` into `path + ".part"`, then puts it in place of `path`: a reader finds the old
// file or the whole new one, never a part. False with the system's reason (the partial file gone).
bool WriteWholeFile(const std::string& path, const std::string& content, std::string& why);
