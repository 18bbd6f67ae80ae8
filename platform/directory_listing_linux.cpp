#include "platform/directory.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <memory>

#include "platform/fault_injection.h"
#include "platform/listing_posix.h"

namespace platform {
namespace {

constexpr std::size_t kListingBufferSize = 64 * 1024;

// Uses the type the listing reports; only a file system that reports none costs a stat.
EntryKind KindOf(int dirFd, const dirent64& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return EntryKind::kDirectory;
    case DT_REG:
      return EntryKind::kFile;
    case DT_LNK:
      return EntryKind::kLink;
    case DT_UNKNOWN:
      return KindByStatus(dirFd, entry.d_name);
    default:
      return EntryKind::kOther;
  }
}

FileError ListError() {
  return FileError(LastSystemError(), FileOperation::kList);
}

}  // namespace

// getdents64 fills a large buffer per call and reports each entry's type: listing only the
// subdirectories of a directory of files costs a few calls and no stat.
std::optional<FileError> Directory::List(std::vector<DirEntry>& entries,
                                         bool directoriesOnly) const {
  entries.clear();
  if (!IsOpen()) return NotOpenError();
  const int fd = static_cast<int>(m_handle);
  // A directory just opened needs no rewind: that saves a system call for every one walked.
  if (m_listed && lseek(fd, 0, SEEK_SET) < 0) return ListError();
  m_listed = true;
  // One buffer a thread: a thread lists one directory at a time.
  static thread_local std::unique_ptr<std::byte[]> buffer(new std::byte[kListingBufferSize]);
  for (;;) {
    const ssize_t filled = getdents64(fd, buffer.get(), kListingBufferSize);
    if (filled < 0) return ListError();
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

}  // namespace platform
