#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

enum class EntryKind : std::uint8_t { kDirectory, kFile, kLink, kOther };

struct DirEntry {
  std::string name;
  EntryKind kind;
  bool hidden;
  bool system;
};

// Tells whether a reopened directory is still the one that was listed.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};

// An open directory. Everything inside it is reached relative to it, never through a link, so a
// walk is not limited by the length of absolute paths.
class Directory {
 public:
  Directory() = default;
  Directory(Directory&& other) noexcept;
  Directory& operator=(Directory&& other) noexcept;
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
  ~Directory();

  // Opens a folder the user named. Links in the user's own path are followed. On failure the
  // result is not open and *error (if given) holds the system error number.
  static Directory OpenFolder(const std::string& path, int* error = nullptr);

  // Opens a subdirectory, or ".." for the parent; a link is not followed (the result is not open).
  Directory OpenSubdirectory(const std::string& name, int* error = nullptr) const;

  // Creates a subdirectory; returns 0 or the system error number.
  int CreateSubdirectory(const std::string& name) const;

  bool IsOpen() const { return m_handle != kClosed; }
  void Close();

  // Reads the whole listing, without "." and "..", in the order the file system gives. Returns
  // false when the directory cannot be read.
  bool List(std::vector<DirEntry>& entries) const;

  FileIdentity Identity() const;

  // Makes renames and new names inside the directory durable; returns 0 or the system error.
  int Flush() const;

  std::intptr_t NativeHandle() const { return m_handle; }

  // The directory's full path, kept where the system cannot open a name relative to an open
  // directory (Windows, as a "\\?\" path); empty elsewhere.
  const std::wstring& NativePath() const { return m_nativePath; }

 private:
  static constexpr std::intptr_t kClosed = -1;
  explicit Directory(std::intptr_t handle, std::wstring nativePath = {})
      : m_handle(handle), m_nativePath(std::move(nativePath)) {}
  std::intptr_t m_handle = kClosed;
  std::wstring m_nativePath;
  mutable bool m_listed = false;  // a second listing must rewind first
};

// The folder path made absolute without resolving links, as it is shown to the user.
std::string AbsoluteFolderPath(const std::string& path);

// Compares two names as the file systems Quorvel's users copy discs from do: without regard to
// the case of ASCII letters.
bool SameName(std::string_view a, std::string_view b);

// Joins a folder path and a name with the platform's separator, unless the path already ends in
// a separator.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace platform
