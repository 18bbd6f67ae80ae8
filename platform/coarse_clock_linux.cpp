#include "platform/coarse_clock.h"

#include <time.h>

namespace platform {

// The monotonic clock as of the last timer tick: read from memory the kernel shares, with no
// counter to read and scale.
std::chrono::steady_clock::time_point CoarseNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return std::chrono::steady_clock::time_point(
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(
          std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec)));
}

}  // namespace platform
