#include "platform/local_time.h"

#include <cstdlib>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

namespace {

// An empty zone removes TZ, for the system's own zone.
void SetZone(const std::string& zone) {
#ifdef _WIN32
  _putenv_s("TZ", zone.c_str());
  _tzset();
#else
  if (zone.empty()) {
    unsetenv("TZ");
  } else {
    setenv("TZ", zone.c_str(), 1);
  }
  tzset();
#endif
}

// A disc image's timestamps carry the local time and the zone's offset from UTC: both come from
// the system's zone, east of UTC positive, with half-hour zones and the day they move into.
TEST(LocalTimeTest, GivesTheCalendarAndTheOffsetOfTheZone) {
  struct Case {
    const char* zone;
    platform::LocalTime expected;
  };
  // 2023-11-14 22:13:20 UTC.
  constexpr std::time_t kMoment = 1700000000;
  const Case cases[] = {
      {"UTC0", {2023, 11, 14, 22, 13, 20, 0}},
      {"IST-5:30", {2023, 11, 15, 3, 43, 20, 330}},
      {"EST5", {2023, 11, 14, 17, 13, 20, -300}},
  };
  const char* before = std::getenv("TZ");
  const std::string saved = before ? before : "";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zone);
    SetZone(c.zone);
    const platform::LocalTime time = platform::ToLocalTime(kMoment);
    EXPECT_EQ(time.year, c.expected.year);
    EXPECT_EQ(time.month, c.expected.month);
    EXPECT_EQ(time.day, c.expected.day);
    EXPECT_EQ(time.hour, c.expected.hour);
    EXPECT_EQ(time.minute, c.expected.minute);
    EXPECT_EQ(time.second, c.expected.second);
    EXPECT_EQ(time.offsetMinutes, c.expected.offsetMinutes);
  }
  SetZone(saved);
}

}  // namespace
