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
#include "bdmv/patched_copy.h"
#include "pass/pass_state.h"
#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/path_length.h"

namespace {

// Opens the movie-object file before the index file is changed, so that a file whose time
// cannot be set stops the folder while its index file is still untouched.
std::optional<platform::File> OpenMovieObject(const platform::Directory& folder,
                                              const std::vector<platform::DirEntry>& entries) {
  const platform::DirEntry* entry = bdmv_names::FindFileOrAlternative(
      entries, bdmv_names::kMovieObject, bdmv_names::kMovieObjectAlternative);
  if (!entry) return std::nullopt;
  platform::File file = platform::File::OpenForUpdate(folder, entry->name);
  if (platform::IsReadOnly(folder, entry->name)) {
    throw FileError(FileErrorCause::kAccessDenied, {}, EACCES);
  }
  return file;
}

// Writes the patched index file beside the original and renames it over it.
void ReplaceWithPatched(const platform::Directory& folder, const std::string& name,
                        const std::string& fullPath, platform::File original, std::uint64_t length,
                        std::span<const index_table::BytePatch> patches) {
  platform::NewFile patched(folder, name, fullPath);
  CopyWithPatches(original, length, patched, patches);
  patched.CopyPermissionsFrom(original);
  // Windows renames over no file that is still open.
  original.Close();
  patched.Publish(true);
}

FolderOutcome Modify(const platform::Directory& folder, const std::string& path) {
  namespace msg = folder_messages;
  if (platform::NarrowPathLength(path) >= msg::kMaxFolderPathLength) {
    return FolderOutcome::Reported(msg::kPathTooLong);
  }

  std::vector<platform::DirEntry> entries;
  folder.List(entries);
  const bool primary = bdmv_names::FindFile(entries, bdmv_names::kIndex) != nullptr;
  const platform::DirEntry* index =
      bdmv_names::FindFileOrAlternative(entries, bdmv_names::kIndex, bdmv_names::kIndexAlternative);
  if (!index) return FolderOutcome::Reported(msg::kModifyNoIndex);
  const std::string indexName = index->name;
  const std::string backupName(primary ? bdmv_names::kIndex : bdmv_names::kIndexAlternative);

  if (!EnsureBackup(folder, entries, indexName, backupName)) {
    return FolderOutcome::Reported(msg::kModifyNoBackup);
  }
  if (platform::IsReadOnly(folder, indexName)) return FolderOutcome::Reported(msg::kModifyReadOnly);

  platform::File original = platform::File::OpenExclusive(folder, indexName);
  std::array<std::uint8_t, index_table::kMinimumSize> first{};
  const std::size_t firstSize = original.ReadAt(0, first);
  const index_table::Header header = index_table::ReadHeader(std::span(first).first(firstSize));
  if (!header.isIndexTable) return FolderOutcome::Reported(msg::kModifyNotAnIndex);
  if (header.IsPatched()) {
    ++g_passCount;
    return {FolderOutcome::Kind::kAlreadyPatched, {}};
  }

  const std::uint64_t length = original.Size();
  const auto patches = index_table::PatchFor(length, g_convert3DTo2D != 0);
  if (patches.empty()) return FolderOutcome::Reported(msg::kModifyNotAnIndex);

  std::optional<platform::File> movieObject = OpenMovieObject(folder, entries);
  ReplaceWithPatched(folder, indexName, platform::JoinPath(path, indexName), std::move(original),
                     length, patches);
  if (movieObject) movieObject->SetModificationTimeToNow();
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
