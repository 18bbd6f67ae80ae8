#include "platform/directory.h"

#include <fcntl.h>
#include <limits.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

// One call resolves the whole path, refusing every link and any way out of this directory; a
// path longer than the system takes in one call is resolved a piece at a time.
Directory Directory::OpenBelow(const std::string& relativePath) const {
  if (relativePath.size() >= PATH_MAX) {
    const std::size_t cut = relativePath.rfind('/', PATH_MAX - 1);
    if (cut != std::string::npos && cut > 0) {
      Directory part = OpenBelow(relativePath.substr(0, cut));
      std::string rest = relativePath.substr(cut + 1);
      while (part.IsOpen() && rest.size() >= PATH_MAX) {
        const std::size_t next = rest.rfind('/', PATH_MAX - 1);
        if (next == std::string::npos || next == 0) break;
        part = part.OpenBelow(rest.substr(0, next));
        rest.erase(0, next + 1);
      }
      if (!part.IsOpen()) return part;
      return part.OpenBelow(rest);
    }
  }
  open_how how{};
  how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  const long fd =
      syscall(SYS_openat2, static_cast<int>(m_handle), relativePath.c_str(), &how, sizeof how);
  if (fd < 0) return Unopened(FileError(LastSystemError(), FileOperation::kOpen, relativePath));
  return Directory(static_cast<std::intptr_t>(fd));
}

}  // namespace platform
