#include "disc_image/image_operations.h"

#include "disc_image/disc_image.h"
#include "disc_image/image_backup_file.h"
#include "disc_image/image_regions.h"

namespace disc_image {

BdmvFolderState ReadImageStateWith(const platform::Directory& dir, const std::string& name,
                                   const PatchPlanner& plan) {
  BdmvFolderState state;
  const std::string backupName = BackupNameFor(name);
  const ImageBackupFile found = ReadImageBackupFile(dir, backupName);
  if (found.exists) state.backupFile = backupName;
  try {
    const platform::File image = platform::File::OpenForReading(dir, name);
    const ImagePatch patch = plan(image);
    state.indexFile = patch.indexPath;
    if (state.indexFile.empty()) return state;
    state.indexReadable = true;
    state.isIndexTable = patch.header.isIndexTable;
    state.flags = patch.header.flags;
    if (!state.isIndexTable) return state;
    state.patched = patch.header.IsPatched();
    if (found.backup) {
      // Judged against the backup file a Modify would complete the patch from.
      const RegionsState regions = CompareRegions(image, *found.backup);
      state.patched = regions.patched;
      state.unfinished = !(regions.patched && found.backup->complete);
    }
  } catch (const FileError& error) {
    // Where the image cannot be read, nothing is known of the disc in it, as of a folder that
    // cannot be listed.
    BdmvFolderState unread;
    unread.listError = error;
    unread.backupFile = state.backupFile;
    return unread;
  }
  return state;
}

}  // namespace disc_image
