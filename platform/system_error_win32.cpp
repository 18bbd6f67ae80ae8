#include "platform/file_error.h"

#include <windows.h>

namespace platform {

std::error_code LastSystemError() {
  return SystemError(static_cast<int>(GetLastError()));
}

std::error_code AccessDeniedError() {
  return SystemError(ERROR_ACCESS_DENIED);
}

// Windows error codes, whose message is the system's own text.
FileErrorCause CauseOf(const std::error_code& code) {
  if (code.category() != std::system_category()) return FileErrorCause::kGeneric;
  switch (static_cast<DWORD>(code.value())) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_HANDLE:
      return FileErrorCause::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
      return FileErrorCause::kBadPath;
    case ERROR_TOO_MANY_OPEN_FILES:
      return FileErrorCause::kTooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_WRITE_FAULT:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_CANT_ACCESS_FILE:
      return FileErrorCause::kAccessDenied;
    case ERROR_BAD_FORMAT:
    case ERROR_NOT_DOS_DISK:
    case ERROR_INVALID_TARGET_HANDLE:
      return FileErrorCause::kInvalidFile;
    case ERROR_CURRENT_DIRECTORY:
      return FileErrorCause::kRemoveCurrentDir;
    case ERROR_CANNOT_MAKE:
      return FileErrorCause::kDirectoryFull;
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_READ_FAULT:
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE:
      return FileErrorCause::kBadSeek;
    case ERROR_NOT_READY:
    case ERROR_BAD_UNIT:
    case ERROR_BAD_COMMAND:
    case ERROR_CRC:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_NO_MEDIA_IN_DRIVE:
      return FileErrorCause::kHardIO;
    case ERROR_SHARING_VIOLATION:
      return FileErrorCause::kSharingViolation;
    case ERROR_LOCK_VIOLATION:
      return FileErrorCause::kLockViolation;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
      return FileErrorCause::kDiskFull;
    case ERROR_HANDLE_EOF:
      return FileErrorCause::kEndOfFile;
    default:
      return FileErrorCause::kGeneric;
  }
}

}  // namespace platform
