#include "bdmv/bdmv_folder_state.h"

#include <array>
#include <vector>

#include "bdmv/backup.h"
#include "bdmv/bdmv_names.h"
#include "bdmv/index_table.h"
#include "bdmv/patch_progress.h"
#include "platform/file.h"

namespace {

std::string BackupFile(const platform::Directory& folder,
                       const std::vector<platform::DirEntry>& entries) {
  const platform::DirEntry* backupDirEntry = bdmv_names::FindEntry(entries, bdmv_names::kBackup);
  if (!backupDirEntry) return {};
  const platform::Directory backupDir = folder.OpenSubdirectory(backupDirEntry->name);
  std::vector<platform::DirEntry> backupEntries;
  if (backupDir.List(backupEntries)) return {};
  const platform::DirEntry* backup = bdmv_names::FindFileOrAlternative(
      backupEntries, bdmv_names::kIndex, bdmv_names::kIndexAlternative);
  return backup ? platform::JoinPath(backupDirEntry->name, backup->name) : std::string();
}

}  // namespace

BdmvFolderState ReadBdmvFolderState(const platform::Directory& folder) {
  BdmvFolderState state;
  std::vector<platform::DirEntry> entries;
  state.listError = folder.List(entries);
  if (state.listError) return state;
  state.backupFile = BackupFile(folder, entries);
  const bool primary = bdmv_names::FindFile(entries, bdmv_names::kIndex) != nullptr;
  const platform::DirEntry* index =
      bdmv_names::FindFileOrAlternative(entries, bdmv_names::kIndex, bdmv_names::kIndexAlternative);
  if (!index) return state;
  state.indexFile = index->name;
  try {
    const platform::File file = platform::File::OpenForReading(folder, index->name);
    state.indexReadable = true;
    if (!file.IsRegular()) return state;
    std::array<std::uint8_t, index_table::kMinimumSize> first{};
    const std::size_t size = file.ReadAt(0, first);
    const index_table::Header header = index_table::ReadHeader(std::span(first).first(size));
    state.isIndexTable = header.isIndexTable;
    state.flags = header.flags;
    if (!header.isIndexTable) return state;
    // Judged against the backup a Modify would complete it from.
    const Backup backup =
        OpenBackup(folder, entries, primary ? bdmv_names::kIndex : bdmv_names::kIndexAlternative);
    const patch_progress::Stage stage =
        patch_progress::Classify(patch_progress::BytesOf(file),
                                 patch_progress::BytesOf(backup.file))
            .stage;
    state.patched = stage == patch_progress::Stage::kPatched;
    state.unfinished =
        stage == patch_progress::Stage::kUnfinished || stage == patch_progress::Stage::kBroken;
  } catch (const FileError& error) {
    // Nothing read before the failure is told.
    BdmvFolderState unread;
    unread.indexFile = state.indexFile;
    unread.backupFile = state.backupFile;
    unread.indexError = error;
    return unread;
  }
  return state;
}
