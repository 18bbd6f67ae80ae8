#pragma once

#include <cstddef>

namespace platform {

// How many file descriptors the process holds open; any numbered `limit` or above (left from
// before the limit was lowered) may go uncounted.
std::size_t OpenDescriptors(std::size_t limit);

}  // namespace platform
