#include "platform/path_length.h"

namespace platform {

std::size_t NarrowPathLength(const std::string& path) {
  return path.size();
}

}  // namespace platform
