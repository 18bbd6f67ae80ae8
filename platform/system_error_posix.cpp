#include <cerrno>

#include "platform/file_error.h"

namespace platform {

int AccessDeniedError() {
  return EACCES;
}

FileErrorCause CauseFromSystemError(int systemError) {
  switch (systemError) {
    case ENOENT:
      return FileErrorCause::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
      return FileErrorCause::kBadPath;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return FileErrorCause::kAccessDenied;
    case EMFILE:
    case ENFILE:
      return FileErrorCause::kTooManyOpenFiles;
    case EBADF:
      return FileErrorCause::kInvalidFile;
    case EBUSY:
      return FileErrorCause::kRemoveCurrentDir;
    case EMLINK:
      return FileErrorCause::kDirectoryFull;
    case ESPIPE:
    case EOVERFLOW:
      return FileErrorCause::kBadSeek;
    case EIO:
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
    case EREMOTEIO:
      return FileErrorCause::kHardIO;
    case EWOULDBLOCK:
      return FileErrorCause::kSharingViolation;
    case ENOLCK:
    case EDEADLK:
      return FileErrorCause::kLockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return FileErrorCause::kDiskFull;
    default:
      return FileErrorCause::kGeneric;
  }
}

}  // namespace platform
