#pragma once

#include <functional>
#include <span>
#include <string>

#include "bdmv/bdmv_folder_state.h"
#include "bdmv/folder_outcome.h"
#include "disc_image/image_patch.h"
#include "platform/directory.h"
#include "platform/file.h"

// The operations on an image apart from reading its volume: what they do with the regions a
// plan gives holds for any regions of any file.
namespace disc_image {

// Plans the patch of the open image.
using PatchPlanner = std::function<ImagePatch(const platform::File& image)>;

// ModifyDiscImage with the plan made by `plan`, which is asked only when no backup file is
// beside the image: an unfinished patch is finished from what that file keeps.
FolderOutcome ModifyImageWith(const platform::Directory& dir, const std::string& name,
                              const std::string& path, const PatchPlanner& plan);

// Whether the image, with these regions' `before` bytes put back (none: as it is), reads as a
// whole disc whose index file is unpatched.
using UnpatchedCheck =
    std::function<bool(const platform::File& image, std::span<const Region> putBack)>;

// RestoreDiscImage with the image judged by `readsAsUnpatched` before anything is written, and
// again before the file beside it goes.
FolderOutcome RestoreImageWith(const platform::Directory& dir, const std::string& name,
                               const std::string& path, const UnpatchedCheck& readsAsUnpatched);

// ReadDiscImageState with the index file's state read by `plan`.
BdmvFolderState ReadImageStateWith(const platform::Directory& dir, const std::string& name,
                                   const PatchPlanner& plan);

}  // namespace disc_image
