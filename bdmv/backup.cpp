#include "bdmv/backup.h"

#include "bdmv/bdmv_names.h"
#include "bdmv/folder_messages.h"
#include "bdmv/patched_copy.h"
#include "platform/file_error.h"

platform::Directory OpenBackupDirectory(const platform::Directory& folder,
                                        const std::vector<platform::DirEntry>& entries,
                                        std::error_code& error) {
  const platform::DirEntry* existing = bdmv_names::FindEntry(entries, bdmv_names::kBackup);
  if (existing) return folder.OpenSubdirectory(existing->name, error);
  const std::string name(bdmv_names::kBackup);
  error = folder.CreateSubdirectory(name);
  if (error) return {};
  return folder.OpenSubdirectory(name, error);
}

std::optional<FolderOutcome> EnsureBackup(const platform::Directory& folder,
                                          const std::vector<platform::DirEntry>& entries,
                                          const std::string& indexName,
                                          const std::string& backupName) {
  const auto failed = [](std::string cause) {
    return FolderOutcome::Reported(folder_messages::kModifyNoBackup, std::move(cause));
  };
  std::error_code error;
  const platform::Directory backupDir = OpenBackupDirectory(folder, entries, error);
  std::vector<platform::DirEntry> backupEntries;
  if (!error) error = backupDir.List(backupEntries);
  if (error) return failed(error.message());
  platform::RemoveAbandonedTemporaries(backupDir, backupEntries);
  if (const platform::DirEntry* backup = bdmv_names::FindEntry(backupEntries, backupName)) {
    if (backup->kind == platform::EntryKind::kFile) return std::nullopt;
    return failed({});
  }
  try {
    const platform::File source = platform::File::OpenForReading(folder, indexName);
    if (!source.IsRegular()) return failed({});
    platform::NewFile copy(backupDir, backupName, backupName);
    CopyWithPatches(source, source.Size(), copy);
    copy.Publish(false);
    return std::nullopt;
  } catch (const FileError& failure) {
    return failed(failure.Description());
  }
}

std::optional<platform::File> OpenBackup(const platform::Directory& folder,
                                         const std::vector<platform::DirEntry>& entries,
                                         std::string_view backupName) {
  // BACKUP may have been made since `entries` were listed, under the name Quorvel spells.
  const platform::DirEntry* backupDirEntry = bdmv_names::FindEntry(entries, bdmv_names::kBackup);
  const std::string backupDirName =
      backupDirEntry ? backupDirEntry->name : std::string(bdmv_names::kBackup);
  std::error_code error;
  const platform::Directory backupDir = folder.OpenSubdirectory(backupDirName, error);
  std::vector<platform::DirEntry> backupEntries;
  if (error || backupDir.List(backupEntries)) return std::nullopt;
  const platform::DirEntry* backup = bdmv_names::FindFile(backupEntries, backupName);
  if (!backup) return std::nullopt;
  // A backup this user cannot read makes no patch undoable either.
  try {
    platform::File file = platform::File::OpenForReading(backupDir, backup->name);
    if (file.IsRegular()) return file;
  } catch (const FileError&) {
  }
  return std::nullopt;
}
