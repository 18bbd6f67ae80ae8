#pragma once

#include <chrono>

#include "pass/pass_presenter.h"

namespace testing_support {

// A clock each reading of which is a second after the last: a pass's progress is due at its
// first event, and every event redraws it.
inline PassClock HurriedClock() {
  return [now = std::chrono::steady_clock::time_point{}]() mutable {
    return now += std::chrono::seconds(1);
  };
}

}  // namespace testing_support
