#include "bdmv/backup.h"

#include "bdmv/bdmv_names.h"
#include "bdmv/patched_copy.h"
#include "platform/file.h"
#include "platform/file_error.h"

platform::Directory OpenBackupDirectory(const platform::Directory& folder,
                                        const std::vector<platform::DirEntry>& entries) {
  std::error_code error;
  const platform::DirEntry* existing = bdmv_names::FindEntry(entries, bdmv_names::kBackup);
  if (existing) return folder.OpenSubdirectory(existing->name, error);
  const std::string name(bdmv_names::kBackup);
  if (folder.CreateSubdirectory(name)) return {};
  return folder.OpenSubdirectory(name, error);
}

bool EnsureBackup(const platform::Directory& folder, const std::vector<platform::DirEntry>& entries,
                  const std::string& indexName, const std::string& backupName) {
  platform::Directory backupDir = OpenBackupDirectory(folder, entries);
  std::vector<platform::DirEntry> backupEntries;
  if (!backupDir.IsOpen() || backupDir.List(backupEntries)) return false;
  platform::RemoveAbandonedTemporaries(backupDir, backupEntries);
  if (const platform::DirEntry* backup = bdmv_names::FindEntry(backupEntries, backupName)) {
    return backup->kind == platform::EntryKind::kFile;
  }
  try {
    const platform::File source = platform::File::OpenForReading(folder, indexName);
    if (!source.IsRegular()) return false;
    platform::NewFile copy(backupDir, backupName, backupName);
    CopyWithPatches(source, source.Size(), copy);
    copy.Publish(false);
    return true;
  } catch (const FileError&) {
    return false;
  }
}
