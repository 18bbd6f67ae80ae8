#include "platform/directory.h"

#include <dirent.h>

#include <cerrno>

#include "platform/fault_injection.h"
#include "platform/listing_posix.h"

namespace platform {

// readdir lists through a stream that takes the descriptor over. It is made at the first listing
// and kept with the directory, so that a listing costs no descriptor more than the walk counted.
// POSIX reports no entry's type: each costs a stat.
std::optional<FileError> Directory::List(std::vector<DirEntry>& entries,
                                         bool directoriesOnly) const {
  entries.clear();
  if (!IsOpen()) return NotOpenError();
  const int fd = static_cast<int>(m_handle);
  auto* stream = static_cast<DIR*>(m_listingStream);
  if (stream) {
    rewinddir(stream);
  } else if ((stream = fdopendir(fd))) {
    m_listingStream = stream;
    // A duplicate shares the position of a listing made through the handle it copies.
    if (m_listed) rewinddir(stream);
  } else {
    return FileError(LastSystemError(), FileOperation::kList);
  }
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(stream);
    if (!entry && errno != 0) return FileError(LastSystemError(), FileOperation::kList);
    if (!entry) return InjectedListingFault(*this);
    if (IsDotOrDotDot(entry->d_name)) continue;
    const EntryKind kind = KindByStatus(fd, entry->d_name);
    if (directoriesOnly && kind != EntryKind::kDirectory) continue;
    entries.push_back({entry->d_name, kind, entry->d_name[0] == '.', false});
  }
}

}  // namespace platform
