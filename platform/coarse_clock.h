#pragma once

#include <chrono>

namespace platform {

// Now, as steady_clock counts it, to within a few milliseconds where the system keeps such a
// clock for less than the precise one costs: what a person is shown may be timed with it once for
// every folder walked.
std::chrono::steady_clock::time_point CoarseNow();

}  // namespace platform
