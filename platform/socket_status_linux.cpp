#include "platform/socket_status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// A handle opened with O_PATH serves fstat and nothing else, which is all a socket needs here.
int OpenSocketForStatus(int dirFd, const char* name) {
  const int fd = openat(dirFd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat status;
  if (fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode)) return fd;
  close(fd);
  return -1;
}

}  // namespace platform
