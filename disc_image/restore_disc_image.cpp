#include "disc_image/image_operations.h"

#include "bdmv/folder_messages.h"
#include "disc_image/disc_image.h"
#include "disc_image/image_backup_file.h"
#include "disc_image/image_messages.h"
#include "disc_image/image_regions.h"
#include "platform/file.h"
#include "platform/path_length.h"

namespace disc_image {
namespace {

namespace msg = folder_messages;

FolderOutcome Restore(const platform::Directory& dir, const std::string& name,
                      const std::string& path, const UnpatchedCheck& readsAsUnpatched) {
  namespace image_msg = image_messages;
  if (platform::NarrowPathLength(path) >= msg::kMaxFolderPathLength) {
    return FolderOutcome::Reported(msg::kPathTooLong);
  }
  // A Modify killed while it wrote the file beside the image left its temporary, and no file.
  std::vector<platform::DirEntry> entries;
  if (!dir.List(entries)) platform::RemoveAbandonedTemporaries(dir, entries);
  const std::string backupName = BackupNameFor(name);
  const ImageBackupFile found = ReadImageBackupFile(dir, backupName);
  if (!found.exists) return FolderOutcome::Reported(msg::kRestoreNoBackup);
  if (!found.backup) {
    return FolderOutcome::Reported(image_msg::kRestoreBackupUnusable, found.problem);
  }
  if (platform::IsReadOnly(dir, name)) return FolderOutcome::Reported(msg::kRestoreReadOnly);

  platform::File image = platform::File::OpenForWriting(dir, name);
  if (image.LinkCount() > 1) return FolderOutcome::Reported(image_msg::kRestoreHardLinked);
  const ImageBackup& backup = *found.backup;
  const RegionsState state = CompareRegions(image, backup);
  if (!state.known) return FolderOutcome::Reported(image_msg::kRestoreImageDiffers);
  // A file beside that holds wrong bytes, and still reads, would damage the image for good.
  if (!readsAsUnpatched(image, backup.regions)) {
    return FolderOutcome::Reported(image_msg::kRestoreBackupUnusable,
                                   "put back, its bytes would not give a whole disc image");
  }
  if (!state.original) WriteOriginalRegions(image, backup.regions, path);
  // The backup file goes only once the image reads back as its original: it is all that could
  // undo the patch.
  if (!CompareRegions(image, backup).original || !readsAsUnpatched(image, {})) {
    return FolderOutcome::Reported(image_msg::kRestoreNotTaken);
  }
  try {
    platform::RemoveFile(dir, backupName);
  } catch (const FileError& error) {
    // Another program that held the file beside for longer than the wait: told, not the pass's end.
    if (error.Cause() != FileErrorCause::kSharingViolation &&
        error.Cause() != FileErrorCause::kLockViolation) {
      throw;
    }
    return FolderOutcome::Reported(image_msg::kRestoreBackupHeld, error);
  }
  return {FolderOutcome::Kind::kRestored, {}};
}

}  // namespace

FolderOutcome RestoreImageWith(const platform::Directory& dir, const std::string& name,
                               const std::string& path, const UnpatchedCheck& readsAsUnpatched) {
  try {
    return Restore(dir, name, path, readsAsUnpatched);
  } catch (const std::bad_alloc&) {
    return FolderOutcome::Reported(msg::kMemoryLeak);
  }
}

}  // namespace disc_image
