#include "platform/file_error.h"

#include <utility>

FileError::FileError(FileErrorCause cause, std::string fileName, int systemError)
    : std::runtime_error("file error"),
      m_cause(cause),
      m_fileName(std::move(fileName)),
      m_systemError(systemError) {}

std::string FileError::Description() const {
  return m_systemError == 0 ? std::string() : std::system_category().message(m_systemError);
}

namespace platform {

void ThrowFileError(int systemError, const std::string& fileName) {
  throw FileError(CauseFromSystemError(systemError), fileName, systemError);
}

}  // namespace platform
