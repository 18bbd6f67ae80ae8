#include "platform/file_error.h"

#include <utility>

namespace {

using platform::FileOperation;

const char* NameOf(FileOperation operation) {
  switch (operation) {
    case FileOperation::kOpen:
      return "open";
    case FileOperation::kCreate:
      return "create";
    case FileOperation::kRead:
      return "read";
    case FileOperation::kWrite:
      return "write";
    case FileOperation::kTruncate:
      return "truncate";
    case FileOperation::kFlush:
      return "flush";
    case FileOperation::kStatus:
      return "status of";
    case FileOperation::kLock:
      return "lock";
    case FileOperation::kSetTime:
      return "set the time of";
    case FileOperation::kSetOwner:
      return "set the owner of";
    case FileOperation::kSetMode:
      return "set the mode of";
    case FileOperation::kRename:
      return "rename";
    case FileOperation::kClose:
      return "close";
    case FileOperation::kList:
      return "list";
    case FileOperation::kMakeDirectory:
      return "make directory";
    case FileOperation::kRemove:
      return "remove";
  }
  return "access";
}

std::string WhatWasDone(FileOperation operation, const std::string& path) {
  std::string what = NameOf(operation);
  if (!path.empty()) what += " " + path;
  return what;
}

// Quorvel's own findings about a file, which no system call reported.
class OwnFindingCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "quorvel"; }
  std::string message(int) const override { return "the file ended before its length"; }
};

const std::error_category& OwnFindings() {
  static const OwnFindingCategory category;
  return category;
}

}  // namespace

FileError::FileError(std::error_code code, FileOperation operation, std::string path)
    : std::system_error(code, WhatWasDone(operation, path)),
      m_operation(operation),
      m_path(std::move(path)) {}

FileErrorCause FileError::Cause() const {
  return code().category() == OwnFindings() ? FileErrorCause::kEndOfFile
                                            : platform::CauseOf(code());
}

std::string FileError::Description() const {
  return code().category() == OwnFindings() ? std::string() : code().message();
}

namespace platform {

std::error_code EndOfFileError() {
  return {1, OwnFindings()};
}

}  // namespace platform
