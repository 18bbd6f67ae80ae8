#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/fault_injection.h"
#include "platform/file_error.h"

namespace platform {
namespace {

constexpr int kFileFlags = O_CLOEXEC | O_NOFOLLOW | O_NOCTTY;

int Dir(const Directory& dir) {
  return static_cast<int>(dir.NativeHandle());
}

int AsFd(std::intptr_t handle) {
  return static_cast<int>(handle);
}

struct stat StatusOf(int fd) {
  struct stat status;
  if (fstat(fd, &status) != 0) ThrowFileError(errno);
  return status;
}

// Fails the step when a test asked for it.
void CheckInjected(IoStep step) {
  if (int error = InjectedFault(step); error > 0) ThrowFileError(error);
}

std::string TemporaryName(const std::string& finalName) {
  static std::atomic<unsigned> counter{0};
  return "." + finalName + ".quorvel-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

// Renames without ever replacing an existing file, on file systems with or without the
// no-replace flag and with or without hard links.
int RenameNoReplace(int dirFd, const std::string& from, const std::string& to) {
  if (renameat2(dirFd, from.c_str(), dirFd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
  if (linkat(dirFd, from.c_str(), dirFd, to.c_str(), 0) == 0) {
    unlinkat(dirFd, from.c_str(), 0);
    return 0;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) return errno;
  struct stat status;
  if (fstatat(dirFd, to.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  return renameat(dirFd, from.c_str(), dirFd, to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

File::File(File&& other) noexcept : m_handle(other.m_handle) {
  other.m_handle = -1;
}

File::~File() {
  Close();
}

void File::Close() {
  if (m_handle >= 0) close(static_cast<int>(m_handle));
  m_handle = -1;
}

File File::OpenForReading(const Directory& dir, const std::string& name) {
  int fd = openat(Dir(dir), name.c_str(), O_RDONLY | kFileFlags);
  if (fd < 0) ThrowFileError(errno);
  return File(fd);
}

File File::OpenExclusive(const Directory& dir, const std::string& name) {
  File file = OpenForReading(dir, name);
  if (flock(static_cast<int>(file.m_handle), LOCK_EX | LOCK_NB) != 0) ThrowFileError(errno);
  return file;
}

// Readers take no lock here, so the exclusive open already lets them go on.
File File::OpenForUpdate(const Directory& dir, const std::string& name) {
  return OpenExclusive(dir, name);
}

std::uint64_t File::Size() const {
  return StatusOf(static_cast<int>(m_handle)).st_size;
}

std::size_t File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
  std::size_t total = 0;
  while (total < buffer.size()) {
    ssize_t count = pread(static_cast<int>(m_handle), buffer.data() + total, buffer.size() - total,
                          static_cast<off_t>(offset + total));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) ThrowFileError(errno);
    if (count == 0) break;
    total += static_cast<std::size_t>(count);
  }
  return total;
}

void File::SetModificationTimeToNow() {
  const struct stat status = StatusOf(static_cast<int>(m_handle));
  const timespec times[2] = {{status.st_atim.tv_sec, 0}, {std::time(nullptr), 0}};
  if (futimens(static_cast<int>(m_handle), times) != 0) ThrowFileError(errno);
}

bool IsReadOnly(const Directory& dir, const std::string& name) {
  struct stat status;
  if (fstatat(Dir(dir), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return false;
  // The owner's write bit stands for the read-only attribute, so root sees it too.
  return S_ISREG(status.st_mode) && (status.st_mode & S_IWUSR) == 0;
}

NewFile::NewFile(const Directory& dir, std::string finalName, std::string displayName)
    : m_dir(dir), m_finalName(std::move(finalName)), m_displayName(std::move(displayName)) {
  for (int attempt = 0; m_handle < 0; ++attempt) {
    m_tempName = TemporaryName(m_finalName);
    m_handle = openat(Dir(dir), m_tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | kFileFlags, 0666);
    if (m_handle < 0 && (errno != EEXIST || attempt == 100)) ThrowFileError(errno);
  }
}

NewFile::~NewFile() {
  if (m_handle >= 0) close(AsFd(m_handle));
  if (!m_published) unlinkat(Dir(m_dir), m_tempName.c_str(), 0);
}

void NewFile::Write(std::span<const std::uint8_t> bytes) {
  if (int fault = InjectedFault(IoStep::kWrite); fault == kShortWrite) {
    bytes = bytes.first(bytes.size() / 2);
    if (!bytes.empty() && write(AsFd(m_handle), bytes.data(), bytes.size()) < 0)
      ThrowFileError(errno);
    ThrowFileError(ENOSPC, m_displayName);
  } else if (fault > 0) {
    ThrowFileError(fault, m_displayName);
  }
  while (!bytes.empty()) {
    ssize_t count = write(AsFd(m_handle), bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) ThrowFileError(errno, m_displayName);
    if (count == 0) ThrowFileError(ENOSPC, m_displayName);
    bytes = bytes.subspan(static_cast<std::size_t>(count));
  }
}

void NewFile::CopyPermissionsFrom(const File& original) {
  const struct stat wanted = StatusOf(static_cast<int>(original.NativeHandle()));
  const struct stat current = StatusOf(AsFd(m_handle));
  // Only what differs is set, so file systems that cannot change either (FAT) still work.
  if ((current.st_uid != wanted.st_uid || current.st_gid != wanted.st_gid) &&
      fchown(AsFd(m_handle), wanted.st_uid, wanted.st_gid) != 0) {
    ThrowFileError(errno);
  }
  if ((current.st_mode & 07777) != (wanted.st_mode & 07777) &&
      fchmod(AsFd(m_handle), wanted.st_mode & 07777) != 0) {
    ThrowFileError(errno);
  }
}

void NewFile::Publish(bool replaceExisting) {
  CheckInjected(IoStep::kFlush);
  if (fsync(AsFd(m_handle)) != 0) ThrowFileError(errno);
  int fd = AsFd(m_handle);
  m_handle = -1;
  if (close(fd) != 0) ThrowFileError(errno);

  CheckInjected(IoStep::kRename);
  const int dirFd = Dir(m_dir);
  int error =
      replaceExisting
          ? (renameat(dirFd, m_tempName.c_str(), dirFd, m_finalName.c_str()) == 0 ? 0 : errno)
          : RenameNoReplace(dirFd, m_tempName, m_finalName);
  if (error != 0) ThrowFileError(error);
  m_published = true;

  CheckInjected(IoStep::kFlush);
  if (const std::error_code flushError = m_dir.Flush()) ThrowFileError(flushError.value());
}

}  // namespace platform
