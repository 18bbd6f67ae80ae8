#include "bdmv/bdmv_folder_state.h"

#include <vector>

#include "bdmv/bdmv_names.h"

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
  return BdmvFolderStateOf(folder, LookAtFolder(folder));
}

BdmvFolderState BdmvFolderStateOf(const platform::Directory& folder, const FolderLook& look) {
  BdmvFolderState state;
  state.listError = look.listError;
  if (state.listError) return state;
  state.backupFile = BackupFile(folder, look.entries);
  state.indexFile = look.indexName;
  if (look.indexError) {
    // Nothing read before the failure is told.
    state.indexError = look.indexError;
    return state;
  }
  state.indexReadable = look.index.has_value();
  state.isIndexTable = look.header.isIndexTable;
  state.flags = look.header.flags;
  if (!state.isIndexTable) return state;
  // Judged against the backup a Modify would complete it from.
  const patch_progress::Stage stage = look.progress.stage;
  state.patched = stage == patch_progress::Stage::kPatched;
  state.unfinished =
      stage == patch_progress::Stage::kUnfinished || stage == patch_progress::Stage::kBroken;
  return state;
}
