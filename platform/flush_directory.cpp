#include "platform/flush_directory.h"

#include "platform/fault_injection.h"

namespace platform {

void FlushDirectory(const Directory& dir) {
  const std::optional<FileError> flushError = dir.Flush();
  const std::error_code error =
      StepResult(IoStep::kFlush, flushError ? flushError->code() : std::error_code());
  if (error) throw FileError(error, FileOperation::kFlush);
}

}  // namespace platform
