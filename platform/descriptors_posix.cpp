#include "platform/descriptors.h"

#include <sys/resource.h>

#include <limits>

#include "platform/open_descriptors.h"

namespace platform {
namespace {

constexpr std::size_t kUnlimited = std::numeric_limits<int>::max();

}  // namespace

std::size_t FreeDescriptors() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur >= kUnlimited) {
    return kUnlimited;
  }
  const std::size_t open = OpenDescriptors(limit.rlim_cur);
  return limit.rlim_cur > open ? limit.rlim_cur - open : 0;
}

}  // namespace platform
