#include "disc_image/image_operations.h"

#include "disc_image/disc_image.h"
#include "disc_image/image_backup_file.h"
#include "disc_image/image_messages.h"
#include "disc_image/image_regions.h"

namespace disc_image {
namespace {

// What an image is told as when its own structures make it unreadable.
class DamagedImageCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "disc image"; }
  std::string message(int) const override { return "disc image is damaged"; }
};

std::error_code DamagedImageError() {
  static const DamagedImageCategory category;
  return {1, category};
}

// Where the image cannot be read, nothing is known of the disc in it, as of a folder that cannot
// be listed.
BdmvFolderState Unread(const FileError& error, std::string backupFile) {
  BdmvFolderState unread;
  unread.listError = error;
  unread.backupFile = std::move(backupFile);
  return unread;
}

}  // namespace

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
    if (!patch.indexRead && patch.refusal == image_messages::kModifyDamaged) {
      // Damaged on the way to the index file's first bytes: whether it is patched is unknown.
      const FileError damaged(DamagedImageError(), platform::FileOperation::kRead);
      if (state.indexFile.empty()) return Unread(damaged, state.backupFile);
      state.indexError = damaged;
      return state;
    }
    if (state.indexFile.empty()) return state;
    state.indexReadable = true;
    state.isIndexTable = patch.header.isIndexTable;
    state.flags = patch.header.flags;
    if (!state.isIndexTable) return state;
    state.patched = patch.header.IsPatched() && !patch.halfPatched;
    state.unfinished = patch.halfPatched;
    if (found.backup) {
      // Judged against the backup file a Modify would complete the patch from.
      const RegionsState regions = CompareRegions(image, *found.backup);
      state.patched = regions.patched;
      state.unfinished = !(regions.patched && found.backup->complete);
    }
  } catch (const FileError& error) {
    return Unread(error, state.backupFile);
  }
  return state;
}

}  // namespace disc_image
