#pragma once

#include <optional>
#include <string>
#include <system_error>

#include "platform/file_error.h"

namespace platform {

// Renames `from` to `to` in the directory dirFd without ever replacing an existing file, on file
// systems with or without hard links; returns the failure, if any.
std::optional<FileError> RenameNoReplace(int dirFd, const std::string& from, const std::string& to);

// The same by a second name and the removal of the first: for systems, or file systems, that
// have no rename of their own which refuses to replace.
std::optional<FileError> RenameNoReplaceByLink(int dirFd, const std::string& from,
                                               const std::string& to);

// The failure of a rename to `to` that ended in `error`; none when it is cleared.
inline std::optional<FileError> RenameFailure(const std::error_code& error, const std::string& to) {
  if (!error) return std::nullopt;
  return FileError(error, FileOperation::kRename, to);
}

}  // namespace platform
