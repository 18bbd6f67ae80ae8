#include "bdmv/folder_look.h"

#include "bdmv/bdmv_names.h"

namespace {

// The backup a Restore would use, as BACKUP/NAME; empty for none.
std::string BackupFile(const FolderLook& look) {
  const platform::DirEntry* backupDirEntry =
      bdmv_names::FindEntry(look.entries, bdmv_names::kBackup);
  if (!backupDirEntry || look.backupListError) return {};
  const platform::DirEntry* backup = bdmv_names::FindFileOrAlternative(
      look.backupEntries, bdmv_names::kIndex, bdmv_names::kIndexAlternative);
  return backup ? platform::JoinPath(backupDirEntry->name, backup->name) : std::string();
}

std::optional<patch_progress::FileBytes> BackupBytes(const Backup& backup) {
  if (!backup.file) return std::nullopt;
  return patch_progress::BytesOf(*backup.file, backup.size, backup.content);
}

// What a Restore reads before it writes. What cannot be had here is met again at the turn.
void LookBeforeRestore(const platform::Directory& folder, FolderLook& look) {
  if (look.backupFile.empty()) return;
  const platform::DirEntry* backup = bdmv_names::FindFileOrAlternative(
      look.backupEntries, bdmv_names::kIndex, bdmv_names::kIndexAlternative);
  look.backup.emplace(OpenBackupIn(look.backupDir, look.backupEntries, {}, backup->name));
  // The backup decides which index file it replaces.
  const std::string_view spelled = platform::SameName(backup->name, bdmv_names::kIndex)
                                       ? bdmv_names::kIndex
                                       : bdmv_names::kIndexAlternative;
  const platform::DirEntry* index = bdmv_names::FindEntry(look.entries, spelled);
  if (!index || index->name != look.indexName) return;
  try {
    look.index.emplace(platform::File::OpenToChange(folder, look.indexName));
    look.indexStamp = look.index->StampNow();
    look.indexToChange = look.indexStamp.regular;
  } catch (const FileError&) {
  }
  if (!look.indexToChange) look.index.reset();
}

}  // namespace

FolderLook LookAtFolder(const platform::Directory& folder, LookDepth depth) {
  std::vector<platform::DirEntry> entries;
  if (std::optional<FileError> error = folder.List(entries)) {
    FolderLook look;
    look.listError = std::move(error);
    return look;
  }
  return LookAtListedFolder(folder, std::move(entries), depth);
}

// Where it cannot be (on Windows a program writing the file keeps this open out), the operation
// opens the file itself at its turn and meets the cause then, when a program may have let go.
void OpenIndexToChange(const platform::Directory& folder, FolderLook& look) {
  if (look.indexName.empty() || look.indexError || look.index) return;
  try {
    look.index.emplace(platform::File::OpenToChange(folder, look.indexName));
    look.indexToChange = true;
  } catch (const FileError&) {
  }
}

void LetGoOfFiles(FolderLook& look) {
  look.index.reset();
  look.indexToChange = false;
  if (look.backup) {
    look.backup->file.reset();
    look.backup->content.reset();
  }
  look.backupDir = platform::Directory();
}

FolderLook LookAtListedFolder(const platform::Directory& folder,
                              std::vector<platform::DirEntry> entries, LookDepth depth) {
  FolderLook look;
  look.entries = std::move(entries);
  const platform::DirEntry* backupDirEntry =
      bdmv_names::FindEntry(look.entries, bdmv_names::kBackup);
  look.backupDir = folder.OpenSubdirectory(backupDirEntry ? backupDirEntry->name
                                                          : std::string(bdmv_names::kBackup));
  look.backupListError = look.backupDir.List(look.backupEntries);
  look.backupFile = BackupFile(look);
  const bool primary = bdmv_names::FindFile(look.entries, bdmv_names::kIndex) != nullptr;
  look.backupName = primary ? bdmv_names::kIndex : bdmv_names::kIndexAlternative;
  const platform::DirEntry* index = bdmv_names::FindFileOrAlternative(
      look.entries, bdmv_names::kIndex, bdmv_names::kIndexAlternative);
  if (index) look.indexName = index->name;
  if (depth == LookDepth::kRestore) LookBeforeRestore(folder, look);
  if (!index || depth == LookDepth::kListings || depth == LookDepth::kRestore) return look;
  try {
    if (depth == LookDepth::kIndexToChange) OpenIndexToChange(folder, look);
    if (!look.index) look.index.emplace(platform::File::OpenForReading(folder, look.indexName));
    look.indexStamp = look.index->StampNow();
    look.indexRegular = look.indexStamp.regular;
    if (!look.indexRegular) return look;
    const auto content = patch_progress::ReadWhole(*look.index, look.indexStamp.size);
    // What was read is what is judged: a file that changed size meanwhile is judged again at its
    // turn, as its stamp then differs.
    if (content) look.indexStamp.size = content->size();
    const patch_progress::FileBytes index =
        patch_progress::BytesOf(*look.index, look.indexStamp.size, content);
    look.header = patch_progress::HeaderOf(index);
    if (!look.header.isIndexTable) return look;
    look.backup.emplace(
        OpenBackupIn(look.backupDir, look.backupEntries, look.backupListError, look.backupName));
    look.progress = patch_progress::Classify(index, BackupBytes(*look.backup));
  } catch (const FileError& error) {
    look.indexError = error;
  }
  return look;
}
