#pragma once

#include <stdexcept>
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

// A failed operation on a disc file. It travels from the system call that failed to the
// front end's guard, which reports it once; the pass it interrupts ends.
class FileError : public std::runtime_error {
 public:
  // fileName is empty when the failed operation names no file (only writes name theirs).
  FileError(FileErrorCause cause, std::string fileName, int systemError);

  FileErrorCause Cause() const { return m_cause; }
  const std::string& FileName() const { return m_fileName; }
  int SystemError() const { return m_systemError; }
  // The system's own description of the failure; empty when no system call reported it.
  std::string Description() const;

 private:
  FileErrorCause m_cause;
  std::string m_fileName;
  int m_systemError;
};

namespace platform {

// Maps a system error number (errno, or a Windows error code) to its cause.
FileErrorCause CauseFromSystemError(int systemError);

// The system's own number for a denied access, for a refusal Quorvel decides itself (a read-only
// movie-object file), so that it reads as the system would put it.
int AccessDeniedError();

// Throws the FileError for systemError; fileName as for FileError.
[[noreturn]] void ThrowFileError(int systemError, const std::string& fileName = {});

}  // namespace platform
