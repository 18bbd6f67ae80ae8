#pragma once

#include <string>

namespace platform {

// Renames `from` to `to` in the directory dirFd without ever replacing an existing file, on file
// systems with or without hard links; returns 0 or the system error number.
int RenameNoReplace(int dirFd, const std::string& from, const std::string& to);

// The same by a second name and the removal of the first: for systems, or file systems, that
// have no rename of their own which refuses to replace.
int RenameNoReplaceByLink(int dirFd, const std::string& from, const std::string& to);

}  // namespace platform
