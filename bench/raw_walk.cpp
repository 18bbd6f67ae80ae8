// The floor for a single-threaded walk: openat and getdents64 on every directory, depth first,
// counting directories named BDMV (any case). No targets are handled; nothing is followed.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace {

long g_found = 0;

void Walk(int fd) {
  static char buffer[64 * 1024];
  std::vector<std::string> subdirectories;
  for (;;) {
    const ssize_t filled = getdents64(fd, buffer, sizeof buffer);
    if (filled <= 0) break;
    for (ssize_t offset = 0; offset < filled;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
      offset += entry->d_reclen;
      if (entry->d_type != DT_DIR || entry->d_name[0] == '.') continue;
      if (strcasecmp(entry->d_name, "BDMV") == 0) ++g_found;
      subdirectories.emplace_back(entry->d_name);
    }
  }
  for (const std::string& name : subdirectories) {
    const int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) continue;
    Walk(child);
    close(child);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: raw_walk FOLDER\n");
    return 64;
  }
  const int fd = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  Walk(fd);
  std::printf("%ld\n", g_found);
  return 0;
}
