// Writes small UDF disc images in code, for tests that patch a disc inside an image: the volume
// structures a reader walks (anchor, volume descriptors, file set, directories, file entries),
// with an optional ISO 9660 and Joliet view of the same data. Timestamps are fixed, so the same
// files and options always give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/bd_disc.h"

namespace testimage {

inline constexpr std::size_t kSectorSize = 2048;

enum class Revision {
  k102,
  k201,
  k250,  // a metadata partition: the metadata file and its mirror hold every entry
};

enum class Allocation {
  kShort,  // k102 and k201 only: a 2.50 file's data lies outside its entry's partition
  kLong,
  // A file's data inside its entry when it fits there; larger files get long ones. In a bridge
  // the ISO 9660 view points at a copy of the data in blocks of its own.
  kEmbedded,
};

// The last two make images a patch must refuse; readers still find the files through the
// type 1 map that precedes them.
enum class PartitionKind { kPhysical, kVirtual, kSparable };

// A path like "BDMV/index.bdmv" and the file's bytes.
using ImageFile = testdisc::DiscFile;

struct ImageOptions {
  Revision revision = Revision::k250;
  bool extendedEntries = true;  // EFE (tag 266), or FE (tag 261); k102 has FE only: false
  Allocation allocation = Allocation::kLong;
  bool bridge = false;  // ISO 9660 and Joliet records for the same data
  // BDMV/index.bdmv's data in two extents a block apart; the index must be longer than a block.
  // A bridge lists it in one ISO 9660 record per extent.
  bool fragmentIndex = false;
  // BDMV/BACKUP/index.bdmv: an entry of its own over the same extent as BDMV/index.bdmv, as an
  // image made from hard links has it. The writer adds it.
  bool shareIndexWithBackup = false;
  PartitionKind partition = PartitionKind::kPhysical;
  // 0: as small as the files allow. More: the image is that long, sparse when written, its
  // partition reaching up to the anchor in its last sector.
  std::uint64_t sizeInSectors = 0;
};

// The image's bytes, the anchor at sector 256 and in the last sector. Throws
// std::invalid_argument for options that do not go together or files that do not fit.
std::vector<std::uint8_t> BuildImage(const std::vector<ImageFile>& files,
                                     const ImageOptions& options);

// Writes the sectors the volume's structures and files fill; the others stay holes of a sparse
// file.
// Throws std::runtime_error when the file cannot be written.
void WriteImage(const std::filesystem::path& image, const std::vector<ImageFile>& files,
                const ImageOptions& options);

// Where the image of these files and options holds a file, in sectors of the image.
struct FilePlacement {
  std::vector<std::uint64_t> entrySectors;    // its entry, and for 2.50 the entry's mirror copy
  std::vector<std::uint64_t> dataSectors;     // empty when the data is embedded in the entry
  std::vector<std::uint64_t> listingSectors;  // the ISO 9660 and Joliet records' (bridge)
};
FilePlacement PlacementOf(const std::vector<ImageFile>& files, const ImageOptions& options,
                          const std::string& path);

// The files testdisc::WriteDisc writes (tests/support/bd_disc.h), as image files.
std::vector<ImageFile> DiscFiles(std::uint8_t appInfoFlags);

}  // namespace testimage
