#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fault_injection.h"
#include "platform/rename_no_replace.h"

namespace platform {
namespace {

// The error of a call that returned `succeeded`, as a test may have it fail.
std::error_code Result(IoStep step, bool succeeded) {
  return StepResult(step, succeeded ? std::error_code() : LastSystemError());
}

}  // namespace

// A link never replaces an existing name, so the new name appears whole or not at all.
std::optional<FileError> RenameNoReplaceByLink(int dirFd, const std::string& from,
                                               const std::string& to) {
  const std::error_code linkError =
      Result(IoStep::kLink, linkat(dirFd, from.c_str(), dirFd, to.c_str(), 0) == 0);
  // The new name is whole; a temporary name left beside it would be a second name of the file.
  if (!linkError) {
    return RenameFailure(Result(IoStep::kUnlink, unlinkat(dirFd, from.c_str(), 0) == 0), to);
  }
  if (linkError != std::errc::operation_not_permitted && linkError != std::errc::not_supported &&
      linkError != std::errc::operation_not_supported) {
    return RenameFailure(linkError, to);
  }
  struct stat status;
  if (fstatat(dirFd, to.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
    return RenameFailure(SystemError(EEXIST), to);
  }
  return RenameFailure(
      Result(IoStep::kRename, renameat(dirFd, from.c_str(), dirFd, to.c_str()) == 0), to);
}

}  // namespace platform
