#include <cerrno>

#include "platform/device_error.h"
#include "platform/file_error.h"

namespace platform {

std::error_code LastSystemError() {
  return SystemError(errno);
}

std::error_code AccessDeniedError() {
  return SystemError(EACCES);
}

// Both of the standard categories hold errno values here.
FileErrorCause CauseOf(const std::error_code& code) {
  if (code.category() != std::system_category() && code.category() != std::generic_category()) {
    return FileErrorCause::kGeneric;
  }
  switch (code.value()) {
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
      return IsOwnDeviceError(code.value()) ? FileErrorCause::kHardIO : FileErrorCause::kGeneric;
  }
}

}  // namespace platform
