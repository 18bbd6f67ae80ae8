#include "platform/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/fault_injection.h"

namespace platform {
namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr std::size_t kListingBufferSize = 64 * 1024;

EntryKind KindFromMode(mode_t mode) {
  if (S_ISDIR(mode)) return EntryKind::kDirectory;
  if (S_ISREG(mode)) return EntryKind::kFile;
  if (S_ISLNK(mode)) return EntryKind::kLink;
  return EntryKind::kOther;
}

// Uses the type the listing reports; only a file system that reports none costs a stat.
EntryKind KindOf(int dirFd, const dirent64& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return EntryKind::kDirectory;
    case DT_REG:
      return EntryKind::kFile;
    case DT_LNK:
      return EntryKind::kLink;
    case DT_UNKNOWN: {
      struct stat status;
      if (fstatat(dirFd, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::kOther;
      return KindFromMode(status.st_mode);
    }
    default:
      return EntryKind::kOther;
  }
}

std::error_code LastError() {
  return {errno, std::system_category()};
}

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

Directory::Directory(Directory&& other) noexcept
    : m_handle(other.m_handle), m_openError(other.m_openError), m_listed(other.m_listed) {
  other.m_handle = kClosed;
}

Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    Close();
    m_handle = other.m_handle;
    m_openError = other.m_openError;
    m_listed = other.m_listed;
    other.m_handle = kClosed;
  }
  return *this;
}

Directory::~Directory() {
  Close();
}

void Directory::Close() {
  if (IsOpen()) close(static_cast<int>(m_handle));
  m_handle = kClosed;
  m_listed = false;
}

Directory Directory::OpenFolder(const std::string& path, std::error_code& error) {
  error.clear();
  if (path.empty()) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return {};
  }
  const int fd = open(path.c_str(), kDirectoryFlags);
  if (fd < 0) error = LastError();
  return Directory(fd);
}

Directory Directory::OpenSubdirectory(const std::string& name, std::error_code& error) const {
  error.clear();
  const int fd = openat(static_cast<int>(m_handle), name.c_str(), kDirectoryFlags | O_NOFOLLOW);
  if (fd >= 0) return Directory(fd);
  error = LastError();
  return Unopened(error);
}

Directory Directory::OpenBelow(const std::string& relativePath, std::error_code& error) const {
  error.clear();
  open_how how{};
  how.flags = kDirectoryFlags;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  const long fd =
      syscall(SYS_openat2, static_cast<int>(m_handle), relativePath.c_str(), &how, sizeof how);
  if (fd < 0) error = LastError();
  return Directory(fd);
}

std::error_code Directory::CreateSubdirectory(const std::string& name) const {
  return mkdirat(static_cast<int>(m_handle), name.c_str(), 0777) == 0 ? std::error_code()
                                                                      : LastError();
}

std::error_code Directory::List(std::vector<DirEntry>& entries, bool directoriesOnly) const {
  entries.clear();
  if (!IsOpen()) return NotOpenError();
  const int fd = static_cast<int>(m_handle);
  // A directory just opened needs no rewind: that saves a system call for every one walked.
  if (m_listed && lseek(fd, 0, SEEK_SET) < 0) return LastError();
  m_listed = true;
  // One buffer a thread: a thread lists one directory at a time.
  static thread_local std::unique_ptr<std::byte[]> buffer(new std::byte[kListingBufferSize]);
  for (;;) {
    const ssize_t filled = getdents64(fd, buffer.get(), kListingBufferSize);
    if (filled < 0) return LastError();
    if (filled == 0) return InjectedListingFault(*this);
    for (ssize_t offset = 0; offset < filled;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer.get() + offset);
      offset += entry->d_reclen;
      if (IsDotOrDotDot(entry->d_name)) continue;
      if (directoriesOnly && entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN) continue;
      const EntryKind kind = KindOf(fd, *entry);
      if (directoriesOnly && kind != EntryKind::kDirectory) continue;
      entries.push_back({entry->d_name, kind, entry->d_name[0] == '.', false});
    }
  }
}

FileIdentity Directory::Identity(std::error_code& error) const {
  error.clear();
  struct stat status;
  if (fstat(static_cast<int>(m_handle), &status) != 0) {
    error = LastError();
    return {};
  }
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

std::error_code Directory::Flush() const {
  if (fsync(static_cast<int>(m_handle)) == 0) return {};
  // Some network and FUSE file systems cannot flush a directory; their renames are as durable
  // as they get.
  if (errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP) return {};
  return LastError();
}

std::string AbsoluteFolderPath(const std::string& path) {
  std::string absolute = path;
  if (!path.empty() && path.front() != '/') {
    std::unique_ptr<char, decltype(&free)> cwd(getcwd(nullptr, 0), &free);
    if (cwd) absolute = JoinPath(cwd.get(), path);
  }
  if (absolute.empty() || absolute.front() != '/') return absolute;
  // Shown to the user and measured against the length limit, so it must lead where the system
  // took the user: "." goes, but ".." goes only with a real directory before it. After a link,
  // ".." is the parent of the link's target, which the text alone cannot tell.
  std::string shown;
  std::vector<std::size_t> removable;  // where each component that ".." may take back begins
  for (std::size_t start = 1; start <= absolute.size();) {
    std::size_t end = absolute.find('/', start);
    if (end == std::string::npos) end = absolute.size();
    const std::string_view component = std::string_view(absolute).substr(start, end - start);
    start = end + 1;
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      if (shown.empty()) continue;  // the root is its own parent
      struct stat status;
      if (!removable.empty() && lstat(shown.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        shown.resize(removable.back());
        removable.pop_back();
        continue;
      }
      // Kept: nothing before it can be taken back through it any more.
      removable.clear();
    } else {
      removable.push_back(shown.size());
    }
    shown += '/';
    shown += component;
  }
  return shown.empty() ? "/" : shown;
}

void AppendToPath(std::string& folder, std::string_view name) {
  if (folder.empty() || (folder.back() != '/' && folder.back() != '\\')) folder += '/';
  folder += name;
}

}  // namespace platform
