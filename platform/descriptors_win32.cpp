#include "platform/descriptors.h"

#include <limits>

namespace platform {

// Windows sets no per-process limit on open handles that a walk could reach.
std::size_t FreeDescriptors() {
  return std::numeric_limits<int>::max();
}

}  // namespace platform
