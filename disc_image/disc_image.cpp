#include "disc_image/disc_image.h"

#include <ctime>

#include "disc_image/image_operations.h"

// Modify, Restore and scan with the plan read from the image's volume.
namespace disc_image {

FolderOutcome ModifyDiscImage(const platform::Directory& dir, const std::string& name,
                              const std::string& path, bool convert3DTo2D) {
  const std::time_t now = std::time(nullptr);
  return ModifyImageWith(dir, name, path, [&](const platform::File& image) {
    return PlanImagePatch(image, convert3DTo2D, now);
  });
}

FolderOutcome RestoreDiscImage(const platform::Directory& dir, const std::string& name,
                               const std::string& path) {
  // Every descriptor on the way sealed and in its place, and the index file as long as a patch
  // finds it.
  return RestoreImageWith(dir, name, path,
                          [](const platform::File& image, std::span<const Region> putBack) {
                            const ImagePatch plan = PlanImagePatch(image, false, 0, putBack);
                            return plan.refusal.empty() && !plan.regions.empty();
                          });
}

BdmvFolderState ReadDiscImageState(const platform::Directory& dir, const std::string& name) {
  return ReadImageStateWith(dir, name, [](const platform::File& image) {
    return PlanImagePatch(image, false, std::time(nullptr));
  });
}

}  // namespace disc_image
