#include "bdmv/backup.h"

#include "bdmv/bdmv_names.h"
#include "bdmv/folder_messages.h"
#include "bdmv/patch_progress.h"
#include "bdmv/patched_copy.h"
#include "platform/file_error.h"

platform::Directory OpenBackupDirectory(const platform::Directory& folder,
                                        const std::vector<platform::DirEntry>& entries,
                                        bool& made) {
  made = false;
  const platform::DirEntry* existing = bdmv_names::FindEntry(entries, bdmv_names::kBackup);
  if (existing) return folder.OpenSubdirectory(existing->name);
  const std::string name(bdmv_names::kBackup);
  std::optional<FileError> error = folder.CreateSubdirectory(name);
  made = !error;
  // Made since the folder was listed, by another pass: it is the one to use.
  if (error && error->code() != std::errc::file_exists) {
    return platform::Directory::Unopened(std::move(*error));
  }
  return folder.OpenSubdirectory(name);
}

std::optional<FolderOutcome> EnsureBackup(const platform::Directory& folder,
                                          const std::vector<platform::DirEntry>& entries,
                                          const platform::File& index,
                                          const platform::File::Stamp& stamp,
                                          const std::string& backupName,
                                          std::optional<platform::File::Stamp>& madeFrom) {
  madeFrom.reset();
  const auto failed = [](auto... cause) {
    return FolderOutcome::Reported(folder_messages::kModifyNoBackup, cause...);
  };
  bool made = false;
  const platform::Directory backupDir = OpenBackupDirectory(folder, entries, made);
  // A BACKUP this pass just made holds nothing to read; a name taken meanwhile fails the publish.
  if (!made || !backupDir.IsOpen()) {
    std::vector<platform::DirEntry> backupEntries;
    if (const std::optional<FileError> error = backupDir.List(backupEntries)) return failed(*error);
    platform::RemoveAbandonedTemporaries(backupDir, backupEntries);
    if (const platform::DirEntry* backup = bdmv_names::FindEntry(backupEntries, backupName)) {
      if (backup->kind == platform::EntryKind::kFile) return std::nullopt;
      return failed();
    }
  }
  try {
    if (!stamp.regular) return failed();
    platform::NewFile copy(backupDir, backupName, backupName);
    CopyWithPatches(index, stamp.size, copy);
    copy.Publish(false);
    madeFrom = stamp;
    return std::nullopt;
  } catch (const FileError& failure) {
    return failed(failure);
  }
}

Backup OpenBackup(const platform::Directory& folder, const std::vector<platform::DirEntry>& entries,
                  std::string_view backupName) {
  // BACKUP may have been made since `entries` were listed, under the name Quorvel spells.
  const platform::DirEntry* backupDirEntry = bdmv_names::FindEntry(entries, bdmv_names::kBackup);
  const std::string backupDirName =
      backupDirEntry ? backupDirEntry->name : std::string(bdmv_names::kBackup);
  const platform::Directory backupDir = folder.OpenSubdirectory(backupDirName);
  std::vector<platform::DirEntry> backupEntries;
  const std::optional<FileError> error = backupDir.List(backupEntries);
  return OpenBackupIn(backupDir, backupEntries, error, backupName);
}

namespace {

Backup Unreadable(const FileError& error) {
  Backup backup;
  backup.error = error;
  return backup;
}

}  // namespace

Backup OpenBackupIn(const platform::Directory& backupDir,
                    const std::vector<platform::DirEntry>& backupEntries,
                    const std::optional<FileError>& listError, std::string_view backupName) {
  if (listError) return Unreadable(*listError);
  const platform::DirEntry* backup = bdmv_names::FindFile(backupEntries, backupName);
  if (!backup) return {};
  try {
    platform::File file = platform::File::OpenForReading(backupDir, backup->name);
    const platform::File::Stamp stamp = file.StampNow();
    if (!stamp.regular) return {};
    std::optional<std::vector<std::uint8_t>> content = patch_progress::ReadWhole(file, stamp.size);
    const std::uint64_t size = content ? content->size() : stamp.size;
    const bool patched =
        patch_progress::HeaderOf(patch_progress::BytesOf(file, size, content)).IsPatched();
    return {std::move(file), {}, true, patched, size, std::move(content)};
  } catch (const FileError& error) {
    return Unreadable(error);
  }
}
