#pragma once

#include <string>
#include <vector>

#include "disc_image/image_backup_file.h"
#include "disc_image/image_patch.h"
#include "platform/file.h"

namespace disc_image {

// How the image's bytes stand against the regions its backup file keeps. An interrupted write
// leaves any mix of the two copies, byte by byte; a byte that is neither was changed by someone
// else, and the image is no longer one the backup file can finish or undo.
struct RegionsState {
  bool known = false;     // the image has its recorded size and every byte is one of the two
  bool original = false;  // every byte as `before`
  bool patched = false;   // every byte as `after`
};

RegionsState CompareRegions(const platform::File& image, const ImageBackup& backup);

// Writes each region's `after` in the plan's order, flushing the image after each, so that the
// disk holds them in that order whatever interrupts. displayName is what a failed write reports.
void WritePatchedRegions(platform::File& image, const std::vector<Region>& regions,
                         const std::string& displayName);

// Writes each region's `before` in the reverse order, flushing after each.
void WriteOriginalRegions(platform::File& image, const std::vector<Region>& regions,
                          const std::string& displayName);

}  // namespace disc_image
