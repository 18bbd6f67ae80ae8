#include "platform/descriptors.h"

#include <dirent.h>
#include <sys/resource.h>

#include <limits>

namespace platform {
namespace {

constexpr std::size_t kUnlimited = std::numeric_limits<int>::max();

// Counts the descriptors already open; the listing itself holds one, which is not counted.
std::size_t OpenDescriptors() {
  DIR* listing = opendir("/proc/self/fd");
  if (!listing) return 3;
  std::size_t count = 0;
  while (const dirent* entry = readdir(listing)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(listing);
  return count > 0 ? count - 1 : 0;
}

}  // namespace

std::size_t FreeDescriptors() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur >= kUnlimited) {
    return kUnlimited;
  }
  const std::size_t open = OpenDescriptors();
  return limit.rlim_cur > open ? limit.rlim_cur - open : 0;
}

}  // namespace platform
