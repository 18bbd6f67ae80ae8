#include "platform/open_descriptors.h"

#include <dirent.h>

namespace platform {

// The process's descriptors are listed under /proc, whatever their numbers.
std::size_t OpenDescriptors(std::size_t) {
  DIR* listing = opendir("/proc/self/fd");
  if (!listing) return 3;
  std::size_t count = 0;
  while (const dirent* entry = readdir(listing)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(listing);
  // The listing itself held one.
  return count > 0 ? count - 1 : 0;
}

}  // namespace platform
