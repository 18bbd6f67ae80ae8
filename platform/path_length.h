#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The length in bytes of a UTF-8 path as the system's 8-bit interfaces spell it, which is what a
// path limit measured in bytes means. On Windows that is the ANSI code page: a character the code
// page lacks counts as the one byte that replaces it (two for one beyond the Basic Multilingual
// Plane, one per UTF-16 unit), and a "\\?\" or "\\.\" prefix does not count. Elsewhere it is the
// UTF-8 length itself.
std::size_t NarrowPathLength(const std::string& path);

}  // namespace platform
