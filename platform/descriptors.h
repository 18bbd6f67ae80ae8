#pragma once

#include <cstddef>

namespace platform {

// How many more files and directories the process may hold open at once; a large number where
// the system sets no such limit.
std::size_t FreeDescriptors();

}  // namespace platform
