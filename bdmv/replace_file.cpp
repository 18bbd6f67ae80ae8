#include "bdmv/replace_file.h"

#include <algorithm>
#include <vector>

#include "bdmv/patched_copy.h"
#include "platform/file_error.h"

namespace {

constexpr std::size_t kChunkSize = 64 * 1024;
// Patches closer than this are written as one, with the file's own bytes between them.
constexpr std::uint64_t kJoinGap = 64;

// Returns false, having changed nothing, where the rename cannot keep the file as it was.
bool ReplaceByRename(const platform::Directory& folder, const std::string& name,
                     const std::string& fullPath, std::optional<platform::File>& current,
                     const platform::File& source, std::uint64_t length,
                     std::span<const index_table::BytePatch> patches,
                     const platform::File& permissionsFrom) {
  std::optional<platform::NewFile> copy;
  try {
    copy.emplace(folder, name, fullPath);
  } catch (const FileError& error) {
    if (error.Cause() == FileErrorCause::kAccessDenied && current) return false;
    throw;
  }
  CopyWithPatches(source, length, *copy, patches);
  if (!copy->KeepPermissionsOf(permissionsFrom) && current) return false;
  // Windows renames over no file that is still open.
  const bool existed = current.has_value();
  current.reset();
  try {
    copy->Publish(true);
  } catch (const FileError& error) {
    // Another program holds the file (Windows), or the folder lets no one but the file's owner
    // replace it (a sticky folder): it can still be written where it stands.
    const bool held = error.Cause() == FileErrorCause::kSharingViolation ||
                      error.Cause() == FileErrorCause::kAccessDenied ||
                      error.Cause() == FileErrorCause::kLockViolation;
    if (existed && held) return false;
    throw;
  }
  return true;
}

// Writes the patches where the file stands, nearby ones in one write.
void WriteRuns(platform::File& file, std::uint64_t length,
               std::vector<index_table::BytePatch> patches, const std::string& fullPath) {
  std::sort(patches.begin(), patches.end(),
            [](const auto& a, const auto& b) { return a.offset < b.offset; });
  for (std::size_t first = 0; first < patches.size();) {
    std::size_t last = first;
    std::uint64_t end = patches[first].offset + patches[first].bytes.size();
    while (last + 1 < patches.size() && patches[last + 1].offset <= end + kJoinGap) {
      ++last;
      end = std::max(end, patches[last].offset + patches[last].bytes.size());
    }
    const std::uint64_t start = patches[first].offset;
    std::vector<std::uint8_t> run(static_cast<std::size_t>(end - start), 0);
    if (start < length) {
      const auto known = static_cast<std::size_t>(std::min(end, length) - start);
      if (file.ReadAt(start, std::span(run).first(known)) != known) {
        throw FileError(platform::EndOfFileError(), platform::FileOperation::kRead);
      }
    }
    for (std::size_t i = first; i <= last; ++i) {
      std::copy(patches[i].bytes.begin(), patches[i].bytes.end(),
                run.begin() + static_cast<std::ptrdiff_t>(patches[i].offset - start));
    }
    file.WriteAt(start, run, fullPath);
    first = last + 1;
  }
}

// The file takes the patches where it stands: first those past `length`, which nothing points at
// yet, and once they are on the disk those within, the address among them.
void PatchInPlace(platform::File& file, std::uint64_t length,
                  std::span<const index_table::BytePatch> patches, const std::string& fullPath) {
  std::vector<index_table::BytePatch> beyond;
  std::vector<index_table::BytePatch> within;
  for (const auto& patch : patches) (patch.offset >= length ? beyond : within).push_back(patch);
  WriteRuns(file, length, std::move(beyond), fullPath);
  file.Flush();
  WriteRuns(file, length, std::move(within), fullPath);
}

// The file takes a copy of another where it stands.
void CopyInPlace(platform::File& file, const platform::File& source, std::uint64_t length,
                 const std::string& fullPath) {
  std::vector<std::uint8_t> chunk(kChunkSize);
  for (std::uint64_t offset = 0; offset < length;) {
    const auto size =
        static_cast<std::size_t>(std::min<std::uint64_t>(length - offset, kChunkSize));
    const std::span part(chunk.data(), size);
    if (source.ReadAt(offset, part) != size)
      throw FileError(platform::EndOfFileError(), platform::FileOperation::kRead);
    file.WriteAt(offset, part, fullPath);
    offset += size;
  }
  // Cut before the new bytes are on the disk, the file could show an address at its end.
  file.Flush();
  file.Truncate(length);
}

}  // namespace

Replacement ReplaceFileContent(const platform::Directory& folder, const std::string& name,
                               const std::string& fullPath, std::optional<platform::File>& current,
                               const platform::File& source, std::uint64_t length,
                               std::span<const index_table::BytePatch> patches,
                               const platform::File& permissionsFrom) {
  const bool sourceIsCurrent = current && &source == &*current;
  if (ReplaceByRename(folder, name, fullPath, current, source, length, patches, permissionsFrom)) {
    return Replacement::kDone;
  }
  current.reset();
  platform::File file = platform::File::OpenForWriting(folder, name);
  if (file.LinkCount() > 1) return Replacement::kFileHasOtherNames;
  if (!file.KeepsModeThroughWrite()) return Replacement::kModeWouldChange;
  const std::uint32_t mode = file.Mode();
  if (sourceIsCurrent) {
    PatchInPlace(file, length, patches, fullPath);
  } else {
    CopyInPlace(file, source, length, fullPath);
  }
  file.Flush();
  file.RestoreMode(mode);
  return Replacement::kDone;
}
