#include "platform/rename_no_replace.h"

namespace platform {

// POSIX has no rename that refuses to replace; a second name does refuse.
std::optional<FileError> RenameNoReplace(int dirFd, const std::string& from,
                                         const std::string& to) {
  return RenameNoReplaceByLink(dirFd, from, to);
}

}  // namespace platform
