#include "platform/directory.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

// One call resolves the whole path, refusing every link and any way out of this directory.
Directory Directory::OpenBelow(const std::string& relativePath) const {
  open_how how{};
  how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  const long fd =
      syscall(SYS_openat2, static_cast<int>(m_handle), relativePath.c_str(), &how, sizeof how);
  if (fd < 0) return Unopened(FileError(LastSystemError(), FileOperation::kOpen, relativePath));
  return Directory(static_cast<std::intptr_t>(fd));
}

}  // namespace platform
