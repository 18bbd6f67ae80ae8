#include "platform/coarse_clock.h"

namespace platform {

// Where no cheaper clock is known, the precise one.
std::chrono::steady_clock::time_point CoarseNow() {
  return std::chrono::steady_clock::now();
}

}  // namespace platform
