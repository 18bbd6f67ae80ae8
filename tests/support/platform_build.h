#pragma once

namespace testing_support {

// Whether the platform layer is built from POSIX calls alone, as on systems other than Linux;
// QUORVEL_PLAIN_POSIX comes from the build.
inline constexpr bool kPlainPosix = QUORVEL_PLAIN_POSIX;

}  // namespace testing_support
