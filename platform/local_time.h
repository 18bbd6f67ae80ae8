#pragma once

#include <ctime>

namespace platform {

// A moment as the system's time zone shows it, with that zone's distance from UTC at the moment.
struct LocalTime {
  int year = 1970;
  int month = 1;  // 1 to 12
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int offsetMinutes = 0;  // east of UTC positive
};

// The moment in the local time zone; in UTC when the system cannot tell the zone, and the
// epoch when it cannot tell the moment either.
LocalTime ToLocalTime(std::time_t time);

}  // namespace platform
