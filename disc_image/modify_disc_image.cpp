#include "disc_image/image_operations.h"

#include <optional>

#include "bdmv/folder_messages.h"
#include "disc_image/disc_image.h"
#include "disc_image/image_backup_file.h"
#include "disc_image/image_messages.h"
#include "disc_image/image_regions.h"
#include "platform/path_length.h"

namespace disc_image {
namespace {

namespace msg = folder_messages;

// Plans the patch and keeps what it changes beside the image, before any byte of the image
// changes. Returns the report that ends the Modify here, if any.
std::optional<FolderOutcome> StartPatch(const platform::Directory& dir,
                                        const std::string& backupName, const platform::File& image,
                                        const PatchPlanner& plan, ImageBackup& backup) {
  const ImagePatch patch = plan(image);
  if (!patch.refusal.empty()) return FolderOutcome::Reported(patch.refusal);
  // As for a folder, "already patched" is what the index file itself says.
  if (patch.regions.empty()) return FolderOutcome{FolderOutcome::Kind::kAlreadyPatched, {}};
  backup = {image.Size(), false, patch.regions};
  // A plan whose backup could not be trusted later would leave a patch no Restore undoes.
  if (const std::string problem = ProblemIn(backup); !problem.empty()) {
    return FolderOutcome::Reported(msg::kModifyNoBackup, problem);
  }
  std::vector<platform::DirEntry> entries;
  if (!dir.List(entries)) platform::RemoveAbandonedTemporaries(dir, entries);
  try {
    WriteImageBackupFile(dir, backupName, backup, false);
  } catch (const FileError& error) {
    return FolderOutcome::Reported(msg::kModifyNoBackup, error);
  }
  return std::nullopt;
}

FolderOutcome Modify(const platform::Directory& dir, const std::string& name,
                     const std::string& path, const PatchPlanner& plan) {
  namespace image_msg = image_messages;
  if (platform::NarrowPathLength(path) >= msg::kMaxFolderPathLength) {
    return FolderOutcome::Reported(msg::kPathTooLong);
  }
  if (platform::IsReadOnly(dir, name)) return FolderOutcome::Reported(msg::kModifyReadOnly);
  platform::File image = platform::File::OpenForWriting(dir, name);
  if (!image.IsRegular()) return FolderOutcome::Reported(image_msg::kModifyNotUdf);
  if (image.LinkCount() > 1) return FolderOutcome::Reported(image_msg::kModifyHardLinked);

  const std::string backupName = BackupNameFor(name);
  const ImageBackupFile found = ReadImageBackupFile(dir, backupName);
  if (found.exists && !found.backup) {
    return FolderOutcome::Reported(image_msg::kModifyBackupUnusable, found.problem);
  }
  ImageBackup backup;
  if (found.backup) {
    backup = *found.backup;
    const RegionsState state = CompareRegions(image, backup);
    if (!state.known) return FolderOutcome::Reported(image_msg::kModifyImageDiffers);
    if (state.patched && backup.complete) return {FolderOutcome::Kind::kAlreadyPatched, {}};
  } else if (auto ended = StartPatch(dir, backupName, image, plan, backup)) {
    return *ended;
  }

  WritePatchedRegions(image, backup.regions, path);
  backup.complete = true;
  WriteImageBackupFile(dir, backupName, backup, true);
  return {FolderOutcome::Kind::kPatched, {}};
}

}  // namespace

FolderOutcome ModifyImageWith(const platform::Directory& dir, const std::string& name,
                              const std::string& path, const PatchPlanner& plan) {
  try {
    return Modify(dir, name, path, plan);
  } catch (const std::bad_alloc&) {
    return FolderOutcome::Reported(folder_messages::kMemoryLeak);
  }
}

}  // namespace disc_image
