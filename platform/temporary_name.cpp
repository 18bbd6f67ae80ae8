#include "platform/temporary_name.h"

#include <atomic>
#include <charconv>

namespace platform {
namespace {
constexpr char kMark[] = ".quorvel-";
}  // namespace

std::string TemporaryName(const std::string& finalName, std::uint64_t processId) {
  static std::atomic<unsigned> counter{0};
  return "." + finalName + kMark + std::to_string(processId) + "-" + std::to_string(counter++);
}

std::uint64_t TemporaryFilesProcess(const std::string& name) {
  const std::size_t mark = name.rfind(kMark);
  if (name.size() < 2 || name[0] != '.' || mark == std::string::npos || mark < 2) return 0;
  const char* end = name.c_str() + name.size();
  std::uint64_t process = 0;
  unsigned serial = 0;
  auto [afterProcess, processError] =
      std::from_chars(name.c_str() + mark + sizeof kMark - 1, end, process);
  if (processError != std::errc() || process == 0 || afterProcess == end || *afterProcess != '-') {
    return 0;
  }
  auto [afterSerial, serialError] = std::from_chars(afterProcess + 1, end, serial);
  return serialError == std::errc() && afterSerial == end ? process : 0;
}

}  // namespace platform
