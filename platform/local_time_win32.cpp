#include "platform/local_time.h"

namespace platform {

LocalTime ToLocalTime(std::time_t time) {
  std::tm calendar{};
  if (localtime_s(&calendar, &time) != 0 && gmtime_s(&calendar, &time) != 0) return {};
  // The zone's offset is the local calendar read as if it were UTC, less the moment itself.
  std::tm asUtc = calendar;
  const std::time_t shifted = _mkgmtime(&asUtc);
  const int offsetMinutes = shifted == -1 ? 0 : static_cast<int>((shifted - time) / 60);
  return {calendar.tm_year + 1900, calendar.tm_mon + 1, calendar.tm_mday, calendar.tm_hour,
          calendar.tm_min,         calendar.tm_sec,     offsetMinutes};
}

}  // namespace platform
