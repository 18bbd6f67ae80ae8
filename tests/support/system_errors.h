#pragma once

// System error numbers that tests inject, in the system's own numbering (errno values, or
// Windows error codes), named by the cause they stand for.
#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace testing_support {

#ifdef _WIN32
inline constexpr int kHardwareError = ERROR_CRC;
inline constexpr int kDiskFullError = ERROR_DISK_FULL;
#else
inline constexpr int kHardwareError = EIO;
inline constexpr int kDiskFullError = ENOSPC;
#endif

}  // namespace testing_support
