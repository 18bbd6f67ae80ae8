#include "platform/file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/flush_directory.h"
#include "platform/rename_no_replace.h"
#include "platform/socket_status.h"
#include "platform/temporary_name.h"

namespace platform {
namespace {

// Never through a link; never waiting on a FIFO or a device that took the place of a file.
constexpr int kFileFlags = O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
// A temporary file this old is abandoned even if a process of the same number lives.
constexpr std::time_t kAbandonedAfter = 24 * 60 * 60;

int Dir(const Directory& dir) {
  return static_cast<int>(dir.NativeHandle());
}

int AsFd(std::intptr_t handle) {
  return static_cast<int>(handle);
}

// Throws the failure of the call that just failed.
[[noreturn]] void ThrowLastError(FileOperation operation, const std::string& path = {}) {
  throw FileError(LastSystemError(), operation, path);
}

struct stat StatusOf(int fd) {
  struct stat status;
  if (fstat(fd, &status) != 0) ThrowLastError(FileOperation::kStatus);
  return status;
}

// The error number of a call that returned `succeeded`, as a test may have it fail.
std::error_code Result(IoStep step, bool succeeded) {
  return StepResult(step, succeeded ? std::error_code() : LastSystemError());
}

void Check(IoStep step, bool succeeded, FileOperation operation, const std::string& path = {}) {
  if (const std::error_code error = Result(step, succeeded)) {
    throw FileError(error, operation, path);
  }
}

// A write beyond the process's file-size limit then fails with EFBIG, reported as a full disk,
// instead of killing the process with its temporary file left behind.
void IgnoreFileSizeSignal() {
  static std::once_flag once;
  std::call_once(once, [] { signal(SIGXFSZ, SIG_IGN); });
}

// Writes every byte, at `offset` or (when negative) where the file stands.
void WriteFully(int fd, std::span<const std::uint8_t> bytes, off_t offset,
                const std::string& displayName) {
  IgnoreFileSizeSignal();
  while (!bytes.empty()) {
    const ssize_t count = offset < 0 ? write(fd, bytes.data(), bytes.size())
                                     : pwrite(fd, bytes.data(), bytes.size(), offset);
    if (count < 0 && errno == EINTR) continue;
    Check(IoStep::kWrite, count >= 0, FileOperation::kWrite, displayName);
    // A write that stores nothing has met the end of the disk.
    if (count == 0) throw FileError(SystemError(ENOSPC), FileOperation::kWrite, displayName);
    bytes = bytes.subspan(static_cast<std::size_t>(count));
    if (offset >= 0) offset += count;
  }
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
  // A socket opens for nothing but its status: it is then told apart like a FIFO.
  if (fd < 0 && errno == ENXIO) {
    const int socketFd = OpenSocketForStatus(Dir(dir), name.c_str());
    if (socketFd >= 0) return File(socketFd);
    errno = ENXIO;
  }
  if (fd < 0) ThrowLastError(FileOperation::kOpen, name);
  return File(fd);
}

File File::OpenExclusive(const Directory& dir, const std::string& name) {
  File file = OpenToChange(dir, name);
  file.Hold(name);
  return file;
}

File File::OpenToChange(const Directory& dir, const std::string& name) {
  return OpenForReading(dir, name);
}

void File::Hold(const std::string& name) {
  if (flock(AsFd(m_handle), LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    // A socket's handle, which only tells what it is, takes no lock; it is no file to change.
    if (error != EBADF || IsRegular())
      throw FileError(SystemError(error), FileOperation::kLock, name);
  }
}

void File::LetGo() noexcept {
  flock(AsFd(m_handle), LOCK_UN);
}

File File::OpenForWriting(const Directory& dir, const std::string& name) {
  int fd = openat(Dir(dir), name.c_str(), O_RDWR | kFileFlags);
  if (fd < 0) ThrowLastError(FileOperation::kOpen, name);
  File file(fd);
  file.Hold(name);
  return file;
}

bool File::IsRegular() const {
  return S_ISREG(StatusOf(static_cast<int>(m_handle)).st_mode);
}

// Readers take no lock here, so the exclusive open already lets them go on.
File File::OpenForUpdate(const Directory& dir, const std::string& name) {
  return OpenExclusive(dir, name);
}

std::uint64_t File::Size() const {
  return StatusOf(static_cast<int>(m_handle)).st_size;
}

namespace {

File::Stamp StampOf(const struct stat& status) {
  return {{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)},
          static_cast<std::uint64_t>(status.st_size),
          static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
          S_ISREG(status.st_mode) && (status.st_mode & S_IWUSR) == 0,
          S_ISREG(status.st_mode)};
}

}  // namespace

File::Stamp File::StampNow() const {
  return StampOf(StatusOf(AsFd(m_handle)));
}

File::Stamp File::StampByName(const Directory& dir, const std::string& name) const {
  struct stat status;
  if (fstatat(Dir(dir), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return {};
  return StampOf(status);
}

std::uint64_t File::LinkCount() const {
  return StatusOf(AsFd(m_handle)).st_nlink;
}

bool File::KeepsModeThroughWrite() const {
  const struct stat status = StatusOf(AsFd(m_handle));
  const uid_t user = geteuid();
  return (status.st_mode & (S_ISUID | S_ISGID)) == 0 || user == 0 || user == status.st_uid;
}

std::uint32_t File::Mode() const {
  return StatusOf(AsFd(m_handle)).st_mode & 07777;
}

void File::RestoreMode(std::uint32_t mode) {
  if (Mode() != mode) {
    Check(IoStep::kChmod, fchmod(AsFd(m_handle), mode) == 0, FileOperation::kSetMode);
  }
}

std::size_t File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
  std::size_t total = 0;
  while (total < buffer.size()) {
    ssize_t count = pread(static_cast<int>(m_handle), buffer.data() + total, buffer.size() - total,
                          static_cast<off_t>(offset + total));
    if (count < 0 && errno == EINTR) continue;
    Check(IoStep::kRead, count >= 0, FileOperation::kRead);
    if (count == 0) break;
    total += static_cast<std::size_t>(count);
  }
  return total;
}

void File::SetModificationTimeToNow() {
  const struct stat status = StatusOf(static_cast<int>(m_handle));
  const timespec times[2] = {{status.st_atim.tv_sec, 0}, {std::time(nullptr), 0}};
  Check(IoStep::kTime, futimens(static_cast<int>(m_handle), times) == 0, FileOperation::kSetTime);
}

void File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes,
                   const std::string& displayName) {
  WriteFully(static_cast<int>(m_handle), bytes, static_cast<off_t>(offset), displayName);
}

void File::Truncate(std::uint64_t length) {
  Check(IoStep::kWrite, ftruncate(static_cast<int>(m_handle), static_cast<off_t>(length)) == 0,
        FileOperation::kTruncate);
}

void File::Flush() {
  Check(IoStep::kFlush, fsync(static_cast<int>(m_handle)) == 0, FileOperation::kFlush);
}

void RemoveAbandonedTemporaries(const Directory& dir, const std::vector<DirEntry>& entries) {
  for (const DirEntry& entry : entries) {
    const auto pid =
        static_cast<pid_t>(entry.kind == EntryKind::kFile ? TemporaryFilesProcess(entry.name) : 0);
    if (pid == 0) continue;
    struct stat status;
    if (fstatat(Dir(dir), entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(status.st_mode)) {
      continue;
    }
    const bool processGone = pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH;
    const bool old = std::time(nullptr) - status.st_mtim.tv_sec > kAbandonedAfter;
    if (processGone || old) unlinkat(Dir(dir), entry.name.c_str(), 0);
  }
}

void RemoveFile(const Directory& dir, const std::string& name) {
  Check(IoStep::kRemove, unlinkat(Dir(dir), name.c_str(), 0) == 0, FileOperation::kRemove, name);
  FlushDirectory(dir);
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
    m_tempName = TemporaryName(m_finalName, getpid());
    m_handle = openat(Dir(dir), m_tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | kFileFlags, 0666);
    const std::error_code error = Result(IoStep::kCreate, m_handle >= 0);
    if (error && m_handle >= 0) {
      close(AsFd(m_handle));
      unlinkat(Dir(dir), m_tempName.c_str(), 0);
      m_handle = -1;
    }
    if (error && (error != std::errc::file_exists || attempt == 100)) {
      throw FileError(error, FileOperation::kCreate, m_tempName);
    }
  }
}

NewFile::~NewFile() {
  if (m_handle >= 0) close(AsFd(m_handle));
  if (!m_published) unlinkat(Dir(m_dir), m_tempName.c_str(), 0);
}

void NewFile::Write(std::span<const std::uint8_t> bytes) {
  WriteFully(AsFd(m_handle), bytes, -1, m_displayName);
}

// A name with a leading dot is what hides a file here.
void NewFile::KeepHidden() {}

bool NewFile::KeepPermissionsOf(const File& original) {
  const struct stat wanted = StatusOf(static_cast<int>(original.NativeHandle()));
  const struct stat current = StatusOf(AsFd(m_handle));
  if (current.st_uid == wanted.st_uid && current.st_gid == wanted.st_gid &&
      (current.st_mode & 07777) == (wanted.st_mode & 07777)) {
    return true;
  }
  // Only what differs is set, so file systems that cannot change either (FAT) still work.
  if (current.st_uid != wanted.st_uid || current.st_gid != wanted.st_gid) {
    const std::error_code error =
        Result(IoStep::kChown, fchown(AsFd(m_handle), wanted.st_uid, wanted.st_gid) == 0);
    // Only the owner's own process, or root, may give a file to another owner.
    if (error == std::errc::operation_not_permitted) return false;
    if (error) throw FileError(error, FileOperation::kSetOwner, m_tempName);
  }
  if ((current.st_mode & 07777) != (wanted.st_mode & 07777) &&
      fchmod(AsFd(m_handle), wanted.st_mode & 07777) != 0) {
    ThrowLastError(FileOperation::kSetMode, m_tempName);
  }
  // The system may drop the set-group-id bit of a file whose group the user is not in.
  return (StatusOf(AsFd(m_handle)).st_mode & 07777) == (wanted.st_mode & 07777);
}

void NewFile::Publish(bool replaceExisting) {
  Check(IoStep::kFlush, fsync(AsFd(m_handle)) == 0, FileOperation::kFlush, m_tempName);
  int fd = AsFd(m_handle);
  m_handle = -1;
  if (close(fd) != 0) ThrowLastError(FileOperation::kClose, m_tempName);

  const int dirFd = Dir(m_dir);
  const std::optional<FileError> renameError =
      replaceExisting
          ? RenameFailure(Result(IoStep::kRename, renameat(dirFd, m_tempName.c_str(), dirFd,
                                                           m_finalName.c_str()) == 0),
                          m_finalName)
          : RenameNoReplace(dirFd, m_tempName, m_finalName);
  if (renameError) throw *renameError;
  m_published = true;
  FlushDirectory(m_dir);
}

}  // namespace platform
