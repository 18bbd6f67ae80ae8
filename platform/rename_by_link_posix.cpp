#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fault_injection.h"
#include "platform/rename_no_replace.h"

namespace platform {
namespace {

// The error number of a call that returned `succeeded`, as a test may have it fail.
int Result(IoStep step, bool succeeded) {
  return StepResult(step, succeeded ? 0 : errno);
}

}  // namespace

// A link never replaces an existing name, so the new name appears whole or not at all.
int RenameNoReplaceByLink(int dirFd, const std::string& from, const std::string& to) {
  const int linkError =
      Result(IoStep::kLink, linkat(dirFd, from.c_str(), dirFd, to.c_str(), 0) == 0);
  // The new name is whole; a temporary name left beside it would be a second name of the file.
  if (linkError == 0) return Result(IoStep::kUnlink, unlinkat(dirFd, from.c_str(), 0) == 0);
  if (linkError != EPERM && linkError != ENOTSUP && linkError != EOPNOTSUPP) return linkError;
  struct stat status;
  if (fstatat(dirFd, to.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  return Result(IoStep::kRename, renameat(dirFd, from.c_str(), dirFd, to.c_str()) == 0);
}

}  // namespace platform
