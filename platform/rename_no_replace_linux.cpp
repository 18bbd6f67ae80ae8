#include <fcntl.h>
#include <stdio.h>

#include <cerrno>

#include "platform/fault_injection.h"
#include "platform/rename_no_replace.h"

namespace platform {

// One call where the file system takes the no-replace flag; a second name otherwise.
std::optional<FileError> RenameNoReplace(int dirFd, const std::string& from,
                                         const std::string& to) {
  std::error_code error = SystemError(EINVAL);
  // Tests take the flag away to reach the fallbacks.
  if (!StepResult(IoStep::kNoReplaceFlag, {})) {
    const bool renamed = renameat2(dirFd, from.c_str(), dirFd, to.c_str(), RENAME_NOREPLACE) == 0;
    error = StepResult(IoStep::kRename, renamed ? std::error_code() : LastSystemError());
  }
  if (error != std::errc::invalid_argument && error != std::errc::function_not_supported &&
      error != std::errc::not_supported) {
    return RenameFailure(error, to);
  }
  return RenameNoReplaceByLink(dirFd, from, to);
}

}  // namespace platform
