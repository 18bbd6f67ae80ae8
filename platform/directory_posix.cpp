#include "platform/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/listing_posix.h"

namespace platform {
namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

}  // namespace

Directory::Directory(Directory&& other) noexcept
    : m_handle(other.m_handle),
      m_openError(std::move(other.m_openError)),
      m_listed(other.m_listed),
      m_listingStream(other.m_listingStream) {
  other.m_handle = kClosed;
  other.m_listingStream = nullptr;
}

Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    Close();
    m_handle = other.m_handle;
    m_openError = std::move(other.m_openError);
    m_listed = other.m_listed;
    m_listingStream = other.m_listingStream;
    other.m_handle = kClosed;
    other.m_listingStream = nullptr;
  }
  return *this;
}

Directory::~Directory() {
  Close();
}

void Directory::Close() {
  if (m_listingStream) {
    closedir(static_cast<DIR*>(m_listingStream));
  } else if (IsOpen()) {
    close(static_cast<int>(m_handle));
  }
  m_handle = kClosed;
  m_listingStream = nullptr;
  m_listed = false;
}

Directory Directory::OpenFolder(const std::string& path) {
  if (path.empty()) {
    return Unopened(FileError(std::make_error_code(std::errc::no_such_file_or_directory),
                              FileOperation::kOpen, path));
  }
  const int fd = open(path.c_str(), kDirectoryFlags);
  if (fd < 0) return Unopened(FileError(LastSystemError(), FileOperation::kOpen, path));
  return Directory(fd);
}

Directory Directory::OpenSubdirectory(const std::string& name) const {
  const int fd = openat(static_cast<int>(m_handle), name.c_str(), kDirectoryFlags | O_NOFOLLOW);
  if (fd < 0) return Unopened(FileError(LastSystemError(), FileOperation::kOpen, name));
  return Directory(fd);
}

Directory Directory::Duplicate() const {
  const int fd = fcntl(static_cast<int>(m_handle), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return Unopened(FileError(LastSystemError(), FileOperation::kOpen));
  Directory copy(fd);
  // The copy shares the position of a listing already made: another listing must rewind.
  copy.m_listed = true;
  return copy;
}

std::optional<FileError> Directory::CreateSubdirectory(const std::string& name) const {
  if (mkdirat(static_cast<int>(m_handle), name.c_str(), 0777) == 0) return std::nullopt;
  return FileError(LastSystemError(), FileOperation::kMakeDirectory, name);
}

FileIdentity Directory::Identity(std::optional<FileError>& error) const {
  error.reset();
  struct stat status;
  if (fstat(static_cast<int>(m_handle), &status) != 0) {
    error.emplace(LastSystemError(), FileOperation::kStatus);
    return {};
  }
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

std::optional<FileError> Directory::Flush() const {
  if (fsync(static_cast<int>(m_handle)) == 0) return std::nullopt;
  // Some network and FUSE file systems cannot flush a directory; their renames are as durable
  // as they get.
  if (errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP) return std::nullopt;
  return FileError(LastSystemError(), FileOperation::kFlush);
}

std::string AbsoluteFolderPath(const std::string& path) {
  std::string absolute = path;
  if (!path.empty() && path.front() != '/') {
    // getcwd allocating its own buffer is an extension POSIX leaves open.
    std::error_code error;
    const std::filesystem::path cwd = std::filesystem::current_path(error);
    if (!error) absolute = JoinPath(cwd.string(), path);
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

EntryKind EntryKindOf(const Directory& dir, const std::string& name) {
  return KindByStatus(static_cast<int>(dir.NativeHandle()), name.c_str());
}

std::pair<std::string, std::string> SplitLastName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {{}, path};
  return {path.substr(0, slash == 0 ? 1 : slash), path.substr(slash + 1)};
}

void AppendToPath(std::string& folder, std::string_view name) {
  if (folder.empty() || (folder.back() != '/' && folder.back() != '\\')) folder += '/';
  folder += name;
}

}  // namespace platform
