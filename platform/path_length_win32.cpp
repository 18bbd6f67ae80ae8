#include "platform/path_length.h"

#include <windows.h>

#include "platform/utf16_win32.h"

namespace platform {

std::size_t NarrowPathLength(const std::string& path) {
  std::wstring wide = Widen(path);
  // The path as it reads without the prefix, "\\?\" or the device namespace's "\\.\":
  // "\\?\UNC\server\..." is "\\server\...".
  for (const std::wstring_view prefix : {L"\\\\?\\", L"\\\\.\\"}) {
    if (!wide.starts_with(prefix)) continue;
    wide.erase(0, prefix.size());
    if (wide.starts_with(L"UNC\\")) wide.replace(0, 4, L"\\\\");
    break;
  }
  if (wide.empty()) return 0;
  return static_cast<std::size_t>(WideCharToMultiByte(
      CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr));
}

}  // namespace platform
