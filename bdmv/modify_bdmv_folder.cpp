#include "bdmv/modify_bdmv_folder.h"

#include <array>
#include <cerrno>
#include <optional>
#include <utility>
#include <vector>

#include "bdmv/backup.h"
#include "bdmv/bdmv_names.h"
#include "bdmv/folder_messages.h"
#include "bdmv/index_table.h"
#include "bdmv/replace_file.h"
#include "pass/pass_state.h"
#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/path_length.h"

namespace {

// Sets the movie-object file's time before the index file changes: a file whose time cannot be
// set stops the folder while its index file is untouched, and an interruption leaves at worst a
// new time beside an unpatched index file, which the next Modify completes. Anything but a plain
// file in its place is left alone.
void TouchMovieObject(const platform::Directory& folder,
                      const std::vector<platform::DirEntry>& entries) {
  const platform::DirEntry* entry = bdmv_names::FindFileOrAlternative(
      entries, bdmv_names::kMovieObject, bdmv_names::kMovieObjectAlternative);
  if (!entry) return;
  platform::File file = platform::File::OpenForUpdate(folder, entry->name);
  if (!file.IsRegular()) return;
  if (platform::IsReadOnly(folder, entry->name)) {
    throw FileError(FileErrorCause::kAccessDenied, {}, EACCES);
  }
  file.SetModificationTimeToNow();
}

// What refuses an index file before its backup is made: something other than a plain file in
// its place, or an unpatched table too long for its patch, whose copy would waste the disk.
const char* RefusalBeforeBackup(const platform::Directory& folder, const std::string& name) {
  const platform::File file = platform::File::OpenForReading(folder, name);
  if (!file.IsRegular()) return folder_messages::kModifyNotAnIndex;
  std::array<std::uint8_t, index_table::kMinimumSize> first{};
  const std::size_t size = file.ReadAt(0, first);
  const index_table::Header header = index_table::ReadHeader(std::span(first).first(size));
  const bool tooLarge = header.isIndexTable && !header.IsPatched() &&
                        index_table::PatchFor(file.Size(), false).empty();
  return tooLarge ? folder_messages::kModifyTooLarge : nullptr;
}

FolderOutcome Modify(const platform::Directory& folder, const std::string& path) {
  namespace msg = folder_messages;
  if (platform::NarrowPathLength(path) >= msg::kMaxFolderPathLength) {
    return FolderOutcome::Reported(msg::kPathTooLong);
  }

  std::vector<platform::DirEntry> entries;
  folder.List(entries);
  platform::RemoveAbandonedTemporaries(folder, entries);
  const bool primary = bdmv_names::FindFile(entries, bdmv_names::kIndex) != nullptr;
  const platform::DirEntry* index =
      bdmv_names::FindFileOrAlternative(entries, bdmv_names::kIndex, bdmv_names::kIndexAlternative);
  if (!index) return FolderOutcome::Reported(msg::kModifyNoIndex);
  const std::string indexName = index->name;
  const std::string backupName(primary ? bdmv_names::kIndex : bdmv_names::kIndexAlternative);

  if (const char* refusal = RefusalBeforeBackup(folder, indexName)) {
    return FolderOutcome::Reported(refusal);
  }
  if (!EnsureBackup(folder, entries, indexName, backupName)) {
    return FolderOutcome::Reported(msg::kModifyNoBackup);
  }
  if (platform::IsReadOnly(folder, indexName)) return FolderOutcome::Reported(msg::kModifyReadOnly);

  std::optional<platform::File> original = platform::File::OpenExclusive(folder, indexName);
  if (!original->IsRegular()) return FolderOutcome::Reported(msg::kModifyNotAnIndex);
  std::array<std::uint8_t, index_table::kMinimumSize> first{};
  const std::size_t firstSize = original->ReadAt(0, first);
  const index_table::Header header = index_table::ReadHeader(std::span(first).first(firstSize));
  if (!header.isIndexTable) return FolderOutcome::Reported(msg::kModifyNotAnIndex);
  if (header.IsPatched()) {
    ++g_passCount;
    return {FolderOutcome::Kind::kAlreadyPatched, {}};
  }

  const std::uint64_t length = original->Size();
  const auto patches = index_table::PatchFor(length, g_convert3DTo2D != 0);
  if (patches.empty()) return FolderOutcome::Reported(msg::kModifyTooLarge);

  TouchMovieObject(folder, entries);
  const platform::File& source = *original;
  ReplaceFileContent(folder, indexName, platform::JoinPath(path, indexName), original, source,
                     length, patches, source);
  ++g_passCount;
  return {FolderOutcome::Kind::kPatched, {}};
}

}  // namespace

FolderOutcome ModifyBdmvFolder(const platform::Directory& folder, const std::string& path) {
  try {
    return Modify(folder, path);
  } catch (const std::bad_alloc&) {
    return FolderOutcome::Reported(folder_messages::kMemoryLeak);
  }
}
