#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/file_error.h"

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
//
// Nothing here throws: every failure is returned as a FileError, for the walk and the folder's
// operation to report and go on. A directory that could not be opened comes back not open,
// holding the failure that kept it closed.
class Directory {
 public:
  Directory() = default;
  Directory(Directory&& other) noexcept;
  Directory& operator=(Directory&& other) noexcept;
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
  ~Directory();

  // Opens a folder the user named. Links in the user's own path are followed.
  static Directory OpenFolder(const std::string& path);

  // Opens a subdirectory, "." for the directory itself or ".." for its parent; a link is not
  // followed (the result is not open).
  Directory OpenSubdirectory(const std::string& name) const;

  // Opens the directory at a relative path below this one, following no link on the way; a
  // second thread may call it on the same directory.
  Directory OpenBelow(const std::string& relativePath) const;

  std::optional<FileError> CreateSubdirectory(const std::string& name) const;

  // A second handle on the same open directory, for another owner; not open, with the cause,
  // when the system gives none.
  Directory Duplicate() const;

  bool IsOpen() const { return m_handle != kClosed; }
  // Why an open call returned this directory not open.
  const std::optional<FileError>& OpenError() const { return m_openError; }
  void Close();

  // Reads the whole listing, without "." and "..", in the order the file system gives; with
  // a directory that could not be opened, fails with the cause of that. With
  // `directoriesOnly`, only the subdirectories (a walk needs no more, and files are most of a
  // listing). On failure the entries read so far are left in `entries`.
  std::optional<FileError> List(std::vector<DirEntry>& entries, bool directoriesOnly = false) const;

  FileIdentity Identity(std::optional<FileError>& error) const;

  // Makes renames and new names inside the directory durable.
  std::optional<FileError> Flush() const;

  // A directory that could not be had, which keeps telling why: a pass handed it can say so.
  static Directory Unopened(FileError cause) {
    Directory directory;
    directory.m_openError = std::move(cause);
    return directory;
  }

  std::intptr_t NativeHandle() const { return m_handle; }

  // The directory's full path, kept where the system cannot open a name relative to an open
  // directory (Windows, as a "\\?\" path); empty elsewhere.
  const std::wstring& NativePath() const { return m_nativePath; }

 private:
  static constexpr std::intptr_t kClosed = -1;
  explicit Directory(std::intptr_t handle, std::wstring nativePath = {})
      : m_handle(handle), m_nativePath(std::move(nativePath)) {}
  FileError NotOpenError() const {
    return m_openError ? *m_openError
                       : FileError(std::make_error_code(std::errc::bad_file_descriptor),
                                   FileOperation::kList);
  }
  std::intptr_t m_handle = kClosed;
  std::wstring m_nativePath;
  std::optional<FileError> m_openError;
  mutable bool m_listed = false;  // a second listing must rewind first
  // Where the system lists a directory only through a stream (POSIX's DIR), the stream, made at
  // the first listing; it then owns the handle.
  mutable void* m_listingStream = nullptr;
};

// The folder path made absolute without resolving links, as it is shown to the user, and leading
// where the system takes the path: "." is dropped, ".." only where the system also goes back by
// one name (on POSIX, not after a link).
std::string AbsoluteFolderPath(const std::string& path);

// What `name` is in the directory, a link not followed; kOther when it cannot be told.
EntryKind EntryKindOf(const Directory& dir, const std::string& name);

// A full path (as AbsoluteFolderPath gives it) as the folder that holds its last name, and that
// name; the name is empty for a root.
std::pair<std::string, std::string> SplitLastName(const std::string& path);

// Compares two names as the file systems Quorvel's users copy discs from do: without regard to
// the case of ASCII letters.
bool SameName(std::string_view a, std::string_view b);

// Appends the platform's separator, unless the path already ends in one, and a name.
void AppendToPath(std::string& folder, std::string_view name);

// The folder path and a name, joined as AppendToPath does.
inline std::string JoinPath(std::string folder, std::string_view name) {
  AppendToPath(folder, name);
  return folder;
}

}  // namespace platform
