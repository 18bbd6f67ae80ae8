#include "platform/path_length.h"

#include <windows.h>

#include "platform/utf16_win32.h"

namespace platform {

std::size_t NarrowPathLength(const std::string& path) {
  std::wstring wide = Widen(path);
  // The path as it reads without the prefix: "\\?\UNC\server\..." is "\\server\...".
  if (wide.starts_with(L"\\\\?\\UNC\\")) {
    wide.replace(0, 8, L"\\\\");
  } else if (IsVerbatimPath(wide)) {
    wide.erase(0, 4);
  }
  if (wide.empty()) return 0;
  return static_cast<std::size_t>(WideCharToMultiByte(
      CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr));
}

}  // namespace platform
