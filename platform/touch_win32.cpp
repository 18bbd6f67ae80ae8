#include "platform/touch_win32.h"

namespace platform {
namespace {

constexpr LONGLONG kTicksPerSecond = 10'000'000;  // file times count 100 ns
constexpr DWORD kKeptAttributeBits = 0x7F;

LARGE_INTEGER WholeSeconds(LARGE_INTEGER time) {
  time.QuadPart -= time.QuadPart % kTicksPerSecond;
  return time;
}

}  // namespace

FILE_BASIC_INFO TouchedStatus(const FILE_BASIC_INFO& status, LARGE_INTEGER now) {
  FILE_BASIC_INFO touched{};
  touched.CreationTime = WholeSeconds(status.CreationTime);
  touched.LastAccessTime = WholeSeconds(status.LastAccessTime);
  touched.LastWriteTime = WholeSeconds(now);
  const DWORD kept = status.FileAttributes & kKeptAttributeBits;
  // Zero would mean "leave the attributes as they are".
  touched.FileAttributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
  return touched;
}

}  // namespace platform
