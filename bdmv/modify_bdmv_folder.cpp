#include "bdmv/modify_bdmv_folder.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "bdmv/backup.h"
#include "bdmv/bdmv_names.h"
#include "bdmv/folder_look.h"
#include "bdmv/folder_messages.h"
#include "bdmv/index_table.h"
#include "bdmv/patch_progress.h"
#include "bdmv/replace_file.h"
#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/path_length.h"
#include "platform/temporary_name.h"

namespace {

// Sets the movie-object file's time before the index file changes: a file whose time cannot be
// set stops the folder while its index file is untouched, and an interruption leaves at worst a
// new time beside an unpatched index file, which the next Modify completes. Anything but a plain
// file in its place is left alone.
void TouchMovieObject(const platform::Directory& folder,
                      const std::vector<platform::DirEntry>& entries) {
  const platform::DirEntry* entry = bdmv_names::FindMovieObject(entries);
  if (!entry) return;
  platform::File file = platform::File::OpenForUpdate(folder, entry->name);
  const platform::File::Stamp stamp = file.StampNow();
  if (!stamp.regular) return;
  if (stamp.readOnly) {
    throw FileError(platform::AccessDeniedError(), platform::FileOperation::kSetTime, entry->name);
  }
  file.SetModificationTimeToNow();
}

// What refuses the index file before anything is written (something other than a plain file, or
// an unpatched table too long for its patch, whose copy would waste the disk), and whether a
// backup is to be made of it. A patched or half-patched file is no original to keep.
struct FirstLook {
  std::optional<FolderOutcome> refusal;
  bool needsBackup = true;
};

FirstLook LookBeforeBackup(const FolderLook& look) {
  if (look.indexError) throw *look.indexError;
  if (!look.indexRegular) return {FolderOutcome::Reported(folder_messages::kModifyNotAnIndex)};
  if (!look.header.isIndexTable) return {};
  if (look.progress.stage != patch_progress::Stage::kUnpatched) return {std::nullopt, false};
  if (index_table::PatchFor(look.indexStamp.size, false).empty()) {
    return {FolderOutcome::Reported(folder_messages::kModifyTooLarge)};
  }
  return {};
}

// Another pass may take the file up the moment this one is done with it, before the handle is
// closed.
struct LetGoOnReturn {
  std::optional<platform::File>& file;
  ~LetGoOnReturn() {
    if (file) file->LetGo();
  }
};

const char* RefusalOf(Replacement replacement) {
  switch (replacement) {
    case Replacement::kFileHasOtherNames:
      return folder_messages::kModifyHardLinked;
    case Replacement::kModeWouldChange:
      return folder_messages::kModifyModeNotKept;
    case Replacement::kDone:
      break;
  }
  return nullptr;
}

bool HasTemporaries(const std::vector<platform::DirEntry>& entries) {
  return std::any_of(entries.begin(), entries.end(), [](const platform::DirEntry& entry) {
    return entry.kind == platform::EntryKind::kFile && platform::TemporaryFilesProcess(entry.name);
  });
}

FolderOutcome Modify(const platform::Directory& folder, const std::string& path, bool convert3DTo2D,
                     FolderLook& look) {
  namespace msg = folder_messages;
  using patch_progress::Stage;
  if (std::optional<FolderOutcome> told = ModifyOutcomeOfLook(look, path)) return *told;

  const std::vector<platform::DirEntry>& entries = look.entries;
  platform::RemoveAbandonedTemporaries(folder, entries);
  if (look.indexName.empty()) return FolderOutcome::Reported(msg::kModifyNoIndex);
  const std::string& indexName = look.indexName;
  const std::string& backupName = look.backupName;

  const FirstLook first = LookBeforeBackup(look);
  if (first.refusal) return *first.refusal;
  // Held from here on, through the look's handle while the name still leads to it, so that
  // nothing waits to open it again; the handle lets go on return, and its close is left to the
  // pass. Only the handle held is open when a new file takes the index file's name: on Windows
  // another one, even the look's, makes the rename wait.
  std::optional<platform::File>& original = look.index;
  platform::File::Stamp named;
  if (look.indexToChange) {
    original->Hold(indexName);
    named = original->StampByName(folder, indexName);
  }
  if (!look.indexToChange || named.identity != look.indexStamp.identity) {
    original.emplace(platform::File::OpenExclusive(folder, indexName));
    named = original->StampNow();
  }
  const LetGoOnReturn letGo{original};
  std::optional<platform::File::Stamp> backupMadeFrom;
  if (first.needsBackup) {
    if (auto failure =
            EnsureBackup(folder, entries, *original, named, backupName, backupMadeFrom)) {
      return *failure;
    }
  }
  if (look.indexStamp.readOnly) return FolderOutcome::Reported(msg::kModifyReadOnly);

  const bool sameAsLooked = named == look.indexStamp;
  // Held now, the file is judged from what the look read of it, while it is the file the look
  // read: its backup then too (a backup is never replaced), or the backup just made of it, which
  // holds what the look read.
  patch_progress::Progress progress;
  const Backup* backup = nullptr;  // none for the backup just made
  std::uint64_t length = look.indexStamp.size;
  const bool lookedBackupStands =
      look.backup && (!first.needsBackup || (!backupMadeFrom && look.backup->found));
  const bool madeBackup = backupMadeFrom == look.indexStamp;
  if (sameAsLooked && look.header.isIndexTable && (lookedBackupStands || madeBackup)) {
    progress = look.progress;
    if (!madeBackup) backup = &*look.backup;
  } else {
    if (platform::IsReadOnly(folder, indexName)) {
      return FolderOutcome::Reported(msg::kModifyReadOnly);
    }
    if (!original->IsRegular() || !patch_progress::HeaderOf(*original).isIndexTable) {
      return FolderOutcome::Reported(msg::kModifyNotAnIndex);
    }
    backup = &look.backup.emplace(OpenBackup(folder, entries, backupName));
    progress = patch_progress::Classify(patch_progress::BytesOf(*original),
                                        patch_progress::BytesOf(backup->file));
    length = original->Size();
  }
  std::vector<index_table::BytePatch> patches;
  switch (progress.stage) {
    case Stage::kPatched:
      return {FolderOutcome::Kind::kAlreadyPatched, {}};
    case Stage::kBroken:
      return FolderOutcome::Reported(msg::kModifyHalfPatched);
    case Stage::kUnpatched:
      // Only a backup of the file as it was makes the patch undoable.
      if (backup && backup->error) {
        return FolderOutcome::Reported(msg::kModifyNoBackup, *backup->error);
      }
      if (backup && !backup->found) return FolderOutcome::Reported(msg::kModifyNoBackup);
      if (backup && backup->patched) {
        return FolderOutcome::Reported(msg::kModifyBackupPatched);
      }
      patches = index_table::PatchFor(length, convert3DTo2D);
      if (patches.empty()) return FolderOutcome::Reported(msg::kModifyTooLarge);
      break;
    case Stage::kUnfinished:
      // Finished from the backup, to exactly what an uninterrupted Modify writes.
      length = progress.originalLength;
      patches = index_table::PatchFor(length, convert3DTo2D);
      if (!convert3DTo2D) patches.push_back({index_table::kFlagsOffset, {progress.originalFlags}});
      break;
  }

  TouchMovieObject(folder, entries);
  const platform::File& source = *original;
  const Replacement replacement =
      ReplaceFileContent(folder, indexName, platform::JoinPath(path, indexName), original, source,
                         length, patches, source);
  if (const char* refusal = RefusalOf(replacement)) return FolderOutcome::Reported(refusal);
  return {FolderOutcome::Kind::kPatched, {}};
}

}  // namespace

std::optional<FolderOutcome> ModifyOutcomeOfLook(const FolderLook& look, const std::string& path) {
  namespace msg = folder_messages;
  using patch_progress::Stage;
  if (platform::NarrowPathLength(path) >= msg::kMaxFolderPathLength) {
    return FolderOutcome::Reported(msg::kPathTooLong);
  }
  if (look.listError) return FolderOutcome::Reported(msg::kModifyUnreadable, *look.listError);
  // Abandoned temporary files are removed at the turn.
  if (HasTemporaries(look.entries)) return std::nullopt;
  if (look.indexName.empty()) return FolderOutcome::Reported(msg::kModifyNoIndex);
  if (look.indexError) return std::nullopt;
  const FirstLook first = LookBeforeBackup(look);
  if (first.refusal) return first.refusal;
  // A file to back up is backed up before it is told read-only: that takes its turn.
  if (first.needsBackup) return std::nullopt;
  if (look.indexStamp.readOnly) return FolderOutcome::Reported(msg::kModifyReadOnly);
  switch (look.progress.stage) {
    case Stage::kPatched:
      return FolderOutcome{FolderOutcome::Kind::kAlreadyPatched, {}};
    case Stage::kBroken:
      return FolderOutcome::Reported(msg::kModifyHalfPatched);
    case Stage::kUnpatched:
    case Stage::kUnfinished:
      break;
  }
  return std::nullopt;
}

FolderOutcome ModifyBdmvFolder(const platform::Directory& folder, const std::string& path,
                               bool convert3DTo2D, FolderLook* look) {
  try {
    if (look) return Modify(folder, path, convert3DTo2D, *look);
    FolderLook own = LookAtFolder(folder, LookDepth::kIndexToChange);
    return Modify(folder, path, convert3DTo2D, own);
  } catch (const std::bad_alloc&) {
    return FolderOutcome::Reported(folder_messages::kMemoryLeak);
  }
}
