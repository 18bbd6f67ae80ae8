#include "bdmv/folder_look.h"

#include <array>

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

}  // namespace

FolderLook LookAtFolder(const platform::Directory& folder, bool readIndex) {
  FolderLook look;
  look.listError = folder.List(look.entries);
  if (look.listError) return look;
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
  if (!index) return look;
  look.indexName = index->name;
  if (!readIndex) return look;
  try {
    look.index.emplace(platform::File::OpenForReading(folder, look.indexName));
    look.indexStamp = look.index->StampNow();
    look.indexRegular = look.index->IsRegular();
    if (!look.indexRegular) return look;
    std::array<std::uint8_t, index_table::kMinimumSize> first{};
    const std::size_t size = look.index->ReadAt(0, first);
    look.header = index_table::ReadHeader(std::span(first).first(size));
    if (!look.header.isIndexTable) return look;
    look.backup.emplace(
        OpenBackupIn(look.backupDir, look.backupEntries, look.backupListError, look.backupName));
    look.progress = patch_progress::Classify(patch_progress::BytesOf(*look.index),
                                             patch_progress::BytesOf(look.backup->file));
  } catch (const FileError& error) {
    look.indexError = error;
  }
  return look;
}
