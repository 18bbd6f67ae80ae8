// The kinds of disc image the image tests run over, in one list each for images a patch
// handles and images it must refuse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/udf_image.h"

namespace testimage {

// The options most variants differ in; the rest as ImageOptions has them.
ImageOptions Options(Revision revision, bool extendedEntries, Allocation allocation,
                     bool bridge = false);

struct ImageVariant {
  std::string name;
  ImageOptions options;
  // 0: the index as testdisc::IndexTable makes it; more: that index with zeros up to this length.
  std::size_t indexLength = 0;
};

// Each revision, FE and EFE, short, long and embedded allocation, bridges, a fragmented index
// and a sparse image much longer than its files.
std::vector<ImageVariant> PatchableVariants();

// A full last block (both kinds), an entry without room, an extent shared with the disc's own
// backup, embedded data in a bridge, and virtual and sparable partitions.
std::vector<ImageVariant> RefusedVariants();

// DiscFiles(appInfoFlags) with the variant's index length.
std::vector<ImageFile> VariantFiles(const ImageVariant& variant, std::uint8_t appInfoFlags);

}  // namespace testimage
