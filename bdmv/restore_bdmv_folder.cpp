#include "bdmv/restore_bdmv_folder.h"

#include <optional>
#include <vector>

#include "bdmv/bdmv_names.h"
#include "bdmv/folder_messages.h"
#include "bdmv/index_table.h"
#include "bdmv/patch_progress.h"
#include "bdmv/replace_file.h"
#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/path_length.h"

namespace {

namespace msg = folder_messages;

// Replaces (or creates) the index file `name` with a copy of the backup, keeping the permission
// bits and owner of the file it replaces. Returns the report that refuses it, if any.
std::optional<FolderOutcome> CopyBack(const platform::Directory& folder, const std::string& name,
                                      bool exists, const std::string& fullPath,
                                      const platform::Directory& backupDir,
                                      const std::string& backupName) {
  const platform::File backup = platform::File::OpenForReading(backupDir, backupName);
  if (!backup.IsRegular()) return FolderOutcome::Reported(msg::kRestoreCopyFailed);
  // Put back, a patched backup would undo nothing while saying it did.
  if (patch_progress::HeaderOf(backup).IsPatched()) {
    return FolderOutcome::Reported(msg::kRestoreBackupPatched);
  }
  std::optional<platform::File> replaced;
  if (exists) {
    replaced.emplace(platform::File::OpenExclusive(folder, name));
    if (!replaced->IsRegular()) return FolderOutcome::Reported(msg::kRestoreCopyFailed);
  }
  const platform::File& permissionsFrom = replaced ? *replaced : backup;
  switch (ReplaceFileContent(folder, name, fullPath, replaced, backup, backup.Size(), {},
                             permissionsFrom)) {
    case Replacement::kFileHasOtherNames:
      return FolderOutcome::Reported(msg::kRestoreHardLinked);
    case Replacement::kModeWouldChange:
      return FolderOutcome::Reported(msg::kRestoreModeNotKept);
    case Replacement::kDone:
      break;
  }
  return std::nullopt;
}

FolderOutcome Restore(const platform::Directory& folder, const std::string& path,
                      const FolderLook& look) {
  if (platform::NarrowPathLength(path) >= msg::kMaxFolderPathLength) {
    return FolderOutcome::Reported(msg::kPathTooLong);
  }

  if (look.listError) return FolderOutcome::Reported(msg::kRestoreUnreadable, *look.listError);
  const std::vector<platform::DirEntry>& entries = look.entries;
  platform::RemoveAbandonedTemporaries(folder, entries);
  if (look.indexName.empty()) return FolderOutcome::Reported(msg::kRestoreNoIndex);

  const std::vector<platform::DirEntry>* backupEntries = nullptr;
  if (bdmv_names::FindEntry(entries, bdmv_names::kBackup)) {
    // A BACKUP that is no directory holds no backup; one that cannot be read is told as such.
    if (!look.backupListError) {
      backupEntries = &look.backupEntries;
      platform::RemoveAbandonedTemporaries(look.backupDir, look.backupEntries);
    } else if (look.backupDir.IsOpen()) {
      return FolderOutcome::Reported(msg::kRestoreUnreadable, *look.backupListError);
    }
  }
  static const std::vector<platform::DirEntry> kNone;
  if (!backupEntries) backupEntries = &kNone;
  const platform::Directory& backupDir = look.backupDir;
  // The backup decides which index file is restored, whichever of the two exists.
  std::string_view spelled = bdmv_names::kIndex;
  const platform::DirEntry* backup = bdmv_names::FindFile(*backupEntries, spelled);
  if (!backup) {
    spelled = bdmv_names::kIndexAlternative;
    backup = bdmv_names::FindFile(*backupEntries, spelled);
  }
  if (!backup) return FolderOutcome::Reported(msg::kRestoreNoBackup);

  const platform::DirEntry* target = bdmv_names::FindEntry(entries, spelled);
  if (target && target->kind != platform::EntryKind::kFile) {
    return FolderOutcome::Reported(msg::kRestoreCopyFailed);
  }
  const std::string name = target ? target->name : std::string(spelled);
  if (platform::IsReadOnly(folder, name)) return FolderOutcome::Reported(msg::kRestoreReadOnly);

  try {
    if (auto refusal = CopyBack(folder, name, target != nullptr, platform::JoinPath(path, name),
                                backupDir, backup->name)) {
      return *refusal;
    }
  } catch (const FileError& error) {
    // A program that will not let the file be written is told as such, as in a Modify, and not
    // taken for a backup that cannot be copied.
    if (error.Cause() == FileErrorCause::kSharingViolation ||
        error.Cause() == FileErrorCause::kLockViolation) {
      throw;
    }
    return FolderOutcome::Reported(msg::kRestoreCopyFailed, error);
  }
  return {FolderOutcome::Kind::kRestored, {}};
}

}  // namespace

FolderOutcome RestoreBdmvFolder(const platform::Directory& folder, const std::string& path,
                                const FolderLook* look) {
  try {
    if (look) return Restore(folder, path, *look);
    return Restore(folder, path, LookAtFolder(folder, LookDepth::kListings));
  } catch (const std::bad_alloc&) {
    return FolderOutcome::Reported(msg::kMemoryLeak);
  }
}
