#include "bdmv/folder_look.h"

#include <array>

#include "bdmv/bdmv_names.h"

FolderLook LookAtFolder(const platform::Directory& folder) {
  FolderLook look;
  look.listError = folder.List(look.entries);
  if (look.listError) return look;
  const bool primary = bdmv_names::FindFile(look.entries, bdmv_names::kIndex) != nullptr;
  look.backupName = primary ? bdmv_names::kIndex : bdmv_names::kIndexAlternative;
  const platform::DirEntry* index = bdmv_names::FindFileOrAlternative(
      look.entries, bdmv_names::kIndex, bdmv_names::kIndexAlternative);
  if (!index) return look;
  look.indexName = index->name;
  try {
    look.index.emplace(platform::File::OpenForReading(folder, look.indexName));
    look.indexStamp = look.index->StampNow();
    look.indexRegular = look.index->IsRegular();
    if (!look.indexRegular) return look;
    std::array<std::uint8_t, index_table::kMinimumSize> first{};
    const std::size_t size = look.index->ReadAt(0, first);
    look.header = index_table::ReadHeader(std::span(first).first(size));
    if (!look.header.isIndexTable) return look;
    look.backup.emplace(OpenBackup(folder, look.entries, look.backupName));
    look.progress = patch_progress::Classify(patch_progress::BytesOf(*look.index),
                                             patch_progress::BytesOf(look.backup->file));
  } catch (const FileError& error) {
    look.indexError = error;
  }
  return look;
}
