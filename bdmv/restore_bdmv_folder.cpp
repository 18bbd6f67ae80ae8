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

bool HeldByAnother(const FileError& error) {
  return error.Cause() == FileErrorCause::kSharingViolation ||
         error.Cause() == FileErrorCause::kLockViolation;
}

// The backup to put back: as the look opened it, or opened now where the look had none or met a
// program holding it. Why it cannot be read is thrown.
const Backup& BackupToUse(const FolderLook& look, const std::vector<platform::DirEntry>& entries,
                          const std::string& name, std::optional<Backup>& opened) {
  const Backup* backup = look.backup ? &*look.backup : nullptr;
  if (!backup || (backup->error && HeldByAnother(*backup->error))) {
    backup = &opened.emplace(OpenBackupIn(look.backupDir, entries, {}, name));
  }
  if (backup->error) throw *backup->error;
  return *backup;
}

// Replaces (or creates) the index file `name` with a copy of the backup, keeping the permission
// bits and owner of the file it replaces, held as `replaced` where the look held it. Returns the
// report that refuses it, if any.
std::optional<FolderOutcome> CopyBack(const platform::Directory& folder, const std::string& name,
                                      bool exists, const std::string& fullPath,
                                      const Backup& backup,
                                      std::optional<platform::File>& replaced) {
  if (!backup.file) return FolderOutcome::Reported(msg::kRestoreCopyFailed);
  // Put back, a patched backup would undo nothing while saying it did.
  if (backup.patched) return FolderOutcome::Reported(msg::kRestoreBackupPatched);
  if (exists && !replaced) {
    replaced.emplace(platform::File::OpenExclusive(folder, name));
    if (!replaced->IsRegular()) return FolderOutcome::Reported(msg::kRestoreCopyFailed);
  }
  const platform::File& permissionsFrom = replaced ? *replaced : *backup.file;
  switch (ReplaceFileContent(folder, name, fullPath, replaced, *backup.file, backup.size, {},
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

// The index file the look opened to change, held, while its name still leads to it; none
// otherwise, to be opened at the turn. The stamp by its name tells whether it is read-only.
std::optional<platform::File> HoldLooked(const platform::Directory& folder, FolderLook& look,
                                         const std::string& name, bool& readOnly) {
  if (!look.indexToChange || name != look.indexName) return std::nullopt;
  look.index->Hold(name);
  const platform::File::Stamp named = look.index->StampByName(folder, name);
  if (named.identity != look.indexStamp.identity) {
    look.index->LetGo();
    return std::nullopt;
  }
  readOnly = named.readOnly;
  return std::move(look.index);
}

FolderOutcome Restore(const platform::Directory& folder, const std::string& path,
                      FolderLook& look) {
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

  try {
    bool readOnly = false;
    std::optional<platform::File> replaced = HoldLooked(folder, look, name, readOnly);
    if (!replaced) readOnly = platform::IsReadOnly(folder, name);
    if (readOnly) return FolderOutcome::Reported(msg::kRestoreReadOnly);
    std::optional<Backup> opened;
    const Backup& backupToUse = BackupToUse(look, *backupEntries, backup->name, opened);
    if (auto refusal = CopyBack(folder, name, target != nullptr, platform::JoinPath(path, name),
                                backupToUse, replaced)) {
      return *refusal;
    }
  } catch (const FileError& error) {
    // A program that will not let the file be written is told as such, as in a Modify, and not
    // taken for a backup that cannot be copied.
    if (HeldByAnother(error)) throw;
    return FolderOutcome::Reported(msg::kRestoreCopyFailed, error);
  }
  return {FolderOutcome::Kind::kRestored, {}};
}

}  // namespace

FolderOutcome RestoreBdmvFolder(const platform::Directory& folder, const std::string& path,
                                FolderLook* look) {
  try {
    if (look) return Restore(folder, path, *look);
    FolderLook own = LookAtFolder(folder, LookDepth::kListings);
    return Restore(folder, path, own);
  } catch (const std::bad_alloc&) {
    return FolderOutcome::Reported(msg::kMemoryLeak);
  }
}
