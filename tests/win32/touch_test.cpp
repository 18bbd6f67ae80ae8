// What touching the movie-object file writes back. Wine keeps neither creation times nor the
// attributes above the low seven bits, so the rule is checked here, on the status itself.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/touch_win32.h"

namespace {

constexpr LONGLONG kSecond = 10'000'000;

LARGE_INTEGER Ticks(LONGLONG value) {
  LARGE_INTEGER ticks;
  ticks.QuadPart = value;
  return ticks;
}

TEST(WindowsTouchTest, TimesAreCutToWholeSecondsAndHighAttributeBitsCleared) {
  struct Case {
    DWORD attributes;
    DWORD written;
  };
  const std::vector<Case> cases = {
      {FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
      {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED,
       FILE_ATTRIBUTE_ARCHIVE},
      {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_OFFLINE,
       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
      {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL},
      {FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, FILE_ATTRIBUTE_NORMAL},
  };
  const LONGLONG created = 125'000'000 * kSecond + 1'234'567;
  const LONGLONG accessed = 126'000'000 * kSecond + 9'999'999;
  const LONGLONG changed = 127'000'000 * kSecond + 5;
  const LONGLONG now = 133'000'000 * kSecond + 4'000'001;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.attributes);
    FILE_BASIC_INFO status{};
    status.CreationTime = Ticks(created);
    status.LastAccessTime = Ticks(accessed);
    status.LastWriteTime = Ticks(changed);
    status.ChangeTime = Ticks(changed);
    status.FileAttributes = c.attributes;

    const FILE_BASIC_INFO touched = platform::TouchedStatus(status, Ticks(now));

    EXPECT_EQ(touched.CreationTime.QuadPart, 125'000'000 * kSecond);
    EXPECT_EQ(touched.LastAccessTime.QuadPart, 126'000'000 * kSecond);
    EXPECT_EQ(touched.LastWriteTime.QuadPart, 133'000'000 * kSecond);
    EXPECT_EQ(touched.ChangeTime.QuadPart, 0) << "left to the system";
    EXPECT_EQ(touched.FileAttributes, c.written);
  }
}

}  // namespace
