#pragma once

#include <optional>
#include <string>
#include <system_error>

// Why a file operation failed, in the categories the user is told about.
enum class FileErrorCause {
  kGeneric,
  kFileNotFound,
  kBadPath,
  kTooManyOpenFiles,
  kAccessDenied,
  kInvalidFile,
  kRemoveCurrentDir,
  kDirectoryFull,
  kBadSeek,
  kHardIO,
  kSharingViolation,
  kLockViolation,
  kDiskFull,
  kEndOfFile,
};

namespace platform {

// What was being done to a file or a directory when it failed.
enum class FileOperation {
  kOpen,
  kCreate,
  kRead,
  kWrite,
  kTruncate,
  kFlush,
  kStatus,
  kLock,
  kSetTime,
  kSetOwner,
  kSetMode,
  kRename,
  kClose,
  kList,
  kMakeDirectory,
  kRemove,
};

}  // namespace platform

// A failed operation on a disc file or directory: the system's error code (errno values on
// POSIX, Windows error codes on Windows, both in std::system_category), what was being done and
// to which path. File throws it, to the front end's guard, which reports it once and ends the
// pass; Directory returns it, for the walk and the folder's operation to report and go on.
class FileError : public std::system_error {
 public:
  // path: the path the failed call was given (a name within an open directory, or the full path
  // a write reports); empty for a call on an open file that names none.
  FileError(std::error_code code, platform::FileOperation operation, std::string path = {});

  platform::FileOperation Operation() const { return m_operation; }
  const std::string& Path() const { return m_path; }
  FileErrorCause Cause() const;
  // The system's own description of the failure; empty where no system call reported it (a
  // file shorter than it was found to be).
  std::string Description() const;

 private:
  platform::FileOperation m_operation;
  std::string m_path;
};

namespace platform {

// The system's error code for one of its own numbers (an errno value, or a Windows error code).
inline std::error_code SystemError(int number) {
  return {number, std::system_category()};
}

// The cause the user is told for a system's error code.
FileErrorCause CauseOf(const std::error_code& code);

// The error code of the system's last failed call (errno, or GetLastError()).
std::error_code LastSystemError();

// The system's own error code for a denied access, for a refusal Quorvel decides itself (a
// read-only movie-object file), so that it reads as the system would put it.
std::error_code AccessDeniedError();

// A file that ended before the length it was found to have: no system call failed.
std::error_code EndOfFileError();

}  // namespace platform
