#include "platform/listing_posix.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

EntryKind KindByStatus(int dirFd, const char* name) {
  struct stat status;
  if (fstatat(dirFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::kOther;
  if (S_ISDIR(status.st_mode)) return EntryKind::kDirectory;
  if (S_ISREG(status.st_mode)) return EntryKind::kFile;
  if (S_ISLNK(status.st_mode)) return EntryKind::kLink;
  return EntryKind::kOther;
}

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace platform
