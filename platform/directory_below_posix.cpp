#include "platform/directory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;

// Opens one directory of the way. A link refused by O_NOFOLLOW is reported as not a directory
// (Linux) or as too many links (FreeBSD); it is a loop, as openat2 reports it.
int OpenStep(int dirFd, const char* name) {
  const int fd = openat(dirFd, name, kFlags);
  if (fd >= 0 || errno == ENOENT || errno == ELOOP) return fd;
  const int cause = errno;
  struct stat status;
  const bool link =
      fstatat(dirFd, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
  errno = link ? ELOOP : cause;
  return -1;
}

}  // namespace

// One name at a time, each opened relative to the last without following a link, refuses what
// openat2 refuses on Linux: a link anywhere on the way (ELOOP), and a way out of this directory
// by an absolute path or by ".." (EXDEV). Each directory on the way is opened for reading, where
// openat2 needs only leave to search it: the walk asks only for directories below ones it listed.
Directory Directory::OpenBelow(const std::string& relativePath) const {
  const auto failed = [&](int error) {
    return Unopened(FileError(SystemError(error), FileOperation::kOpen, relativePath));
  };
  if (relativePath.empty() || relativePath.front() == '/') {
    return failed(relativePath.empty() ? ENOENT : EXDEV);
  }
  int fd = OpenStep(static_cast<int>(m_handle), ".");
  std::size_t depth = 0;
  for (std::size_t start = 0; fd >= 0 && start < relativePath.size();) {
    std::size_t end = relativePath.find('/', start);
    if (end == std::string::npos) end = relativePath.size();
    const std::string name = relativePath.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == ".") continue;
    if (name == ".." && depth == 0) {
      close(fd);
      return failed(EXDEV);
    }
    depth = name == ".." ? depth - 1 : depth + 1;
    const int next = OpenStep(fd, name.c_str());
    const int cause = errno;
    close(fd);
    fd = next;
    errno = cause;
  }
  if (fd < 0) return failed(errno);
  return Directory(fd);
}

}  // namespace platform
