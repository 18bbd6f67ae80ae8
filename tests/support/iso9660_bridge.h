// The ISO 9660 and Joliet view of a UDF bridge image: volume descriptors, path tables and
// directory records that point at the same data sectors as the UDF file entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/image_fields.h"

namespace testimage {

struct IsoExtent {
  std::uint32_t sector = 0;  // in the image
  std::uint32_t length = 0;  // bytes
};

struct IsoNode {
  std::string name;  // the UDF name, "" for the root
  bool directory = false;
  std::vector<IsoExtent> extents;  // a file's data; several make a multi-extent file
  std::vector<IsoNode> children;
};

// Sector of the first volume descriptor; the UDF recognition sequence follows the terminator.
inline constexpr std::uint32_t kIsoDescriptorsSector = 16;
inline constexpr std::uint32_t kIsoDescriptorCount = 3;  // primary, Joliet, terminator

// How many sectors the path tables and directories of both views take.
std::uint32_t IsoSectorCount(const IsoNode& root);

// The sectors that list `dir`'s children (a directory of `root`): in the ISO 9660 view, then in
// the Joliet view.
std::vector<std::uint32_t> IsoDirectorySectors(const IsoNode& root, std::uint32_t firstSector,
                                               const IsoNode& dir);

// Writes the descriptors at sectors 16 to 18 and the path tables and directories from
// `firstSector` on.
void WriteIsoBridge(SectorImage& image, const IsoNode& root, std::uint32_t firstSector);

}  // namespace testimage
