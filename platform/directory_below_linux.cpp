#include "platform/directory.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

// One call resolves the whole path, refusing every link and any way out of this directory.
Directory Directory::OpenBelow(const std::string& relativePath, std::error_code& error) const {
  error.clear();
  open_how how{};
  how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  const long fd =
      syscall(SYS_openat2, static_cast<int>(m_handle), relativePath.c_str(), &how, sizeof how);
  if (fd < 0) error = {errno, std::system_category()};
  return Directory(fd);
}

}  // namespace platform
