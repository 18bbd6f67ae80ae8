#include <fcntl.h>
#include <stdio.h>

#include <cerrno>

#include "platform/fault_injection.h"
#include "platform/rename_no_replace.h"

namespace platform {

// One call where the file system takes the no-replace flag; a second name otherwise.
int RenameNoReplace(int dirFd, const std::string& from, const std::string& to) {
  int error = EINVAL;
  // Tests take the flag away to reach the fallbacks.
  if (StepResult(IoStep::kNoReplaceFlag, 0) == 0) {
    const bool renamed = renameat2(dirFd, from.c_str(), dirFd, to.c_str(), RENAME_NOREPLACE) == 0;
    error = StepResult(IoStep::kRename, renamed ? 0 : errno);
  }
  if (error != EINVAL && error != ENOSYS && error != ENOTSUP) return error;
  return RenameNoReplaceByLink(dirFd, from, to);
}

}  // namespace platform
