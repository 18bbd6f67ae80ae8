#include "platform/local_time.h"

namespace platform {

LocalTime ToLocalTime(std::time_t time) {
  std::tm calendar{};
  if (!localtime_r(&time, &calendar) && !gmtime_r(&time, &calendar)) return {};
  return {calendar.tm_year + 1900,
          calendar.tm_mon + 1,
          calendar.tm_mday,
          calendar.tm_hour,
          calendar.tm_min,
          calendar.tm_sec,
          static_cast<int>(calendar.tm_gmtoff / 60)};
}

}  // namespace platform
