#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "disc_image/image_patch.h"
#include "platform/directory.h"

namespace disc_image {

// What the file beside an image keeps of its patch: enough to finish the patch or to undo it
// without reading the image's volume again.
struct ImageBackup {
  std::uint64_t imageSize = 0;
  bool complete = false;  // every region was written with its `after`
  std::vector<Region> regions;
};

// What is wrong with a backup that would make it unsafe to act on (regions that lie outside the
// image, overlap or have two copies of different lengths); empty when nothing is.
std::string ProblemIn(const ImageBackup& backup);

std::vector<std::uint8_t> EncodeImageBackup(const ImageBackup& backup);

// The backup the bytes hold, or what is wrong with them in `problem`.
std::optional<ImageBackup> DecodeImageBackup(std::span<const std::uint8_t> bytes,
                                             std::string& problem);

// The file beside an image, as far as it could be read.
struct ImageBackupFile {
  bool exists = false;
  std::optional<ImageBackup> backup;  // none when it does not exist or cannot be trusted
  std::string problem;  // why it cannot be trusted: the system's cause or what is wrong in it
};

ImageBackupFile ReadImageBackupFile(const platform::Directory& dir, const std::string& name);

// Writes the whole file under a temporary name and publishes it, hidden; without
// replaceExisting an existing file is never replaced. Throws FileError.
void WriteImageBackupFile(const platform::Directory& dir, const std::string& name,
                          const ImageBackup& backup, bool replaceExisting);

}  // namespace disc_image
