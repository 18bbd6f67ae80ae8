#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Quorvel keeps text in UTF-8; the wide Win32 calls take UTF-16. These convert at the call.
namespace platform {

inline std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

inline std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int size = static_cast<int>(utf16.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

// Whether the path begins with "\\?\", which tells the system to take the name exactly as written.
inline bool IsVerbatimPath(std::wstring_view path) {
  return path.starts_with(L"\\\\?\\");
}

// A full path in the form that lifts the 260-character limit: "\\?\C:\..." or "\\?\UNC\...".
// A device-namespace path, "\\.\", is made one too: the system would normalise the names put
// after it, and strip the dots ending a folder's name ("Dots..") when it is listed.
inline std::wstring LongPath(const std::wstring& fullPath) {
  if (IsVerbatimPath(fullPath)) return fullPath;
  if (fullPath.starts_with(L"\\\\.\\")) return L"\\\\?\\" + fullPath.substr(4);
  if (fullPath.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + fullPath.substr(2);
  return L"\\\\?\\" + fullPath;
}

// A user's path resolved against the working directory; empty when it cannot be. A "\\?\" path
// is already full and is kept as written: resolving it would strip trailing dots and blanks and
// so name another folder.
inline std::wstring FullPath(const std::wstring& path) {
  if (path.empty()) return {};
  if (IsVerbatimPath(path)) return path;
  DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  while (needed != 0) {
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length < needed) {
      full.resize(length);
      return full;
    }
    needed = length;
  }
  return {};
}

}  // namespace platform
