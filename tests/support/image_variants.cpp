#include "tests/support/image_variants.h"

namespace testimage {

ImageOptions Options(Revision revision, bool extendedEntries, Allocation allocation, bool bridge) {
  ImageOptions o;
  o.revision = revision;
  o.extendedEntries = extendedEntries;
  o.allocation = allocation;
  o.bridge = bridge;
  return o;
}

namespace {

constexpr std::uint64_t kSparseSectors = (std::uint64_t{16} << 20) / kSectorSize;

}  // namespace

std::vector<ImageVariant> PatchableVariants() {
  ImageVariant fragmented{"2.50 fragmented index", Options(Revision::k250, true, Allocation::kLong),
                          5000};
  fragmented.options.fragmentIndex = true;
  ImageVariant fragmentedShort{"1.02 fragmented index, short",
                               Options(Revision::k102, false, Allocation::kShort), 5000};
  fragmentedShort.options.fragmentIndex = true;
  ImageVariant fragmentedBridge{"2.01 fragmented index, bridge",
                                Options(Revision::k201, false, Allocation::kLong, true), 5000};
  fragmentedBridge.options.fragmentIndex = true;
  ImageVariant sparse{"2.50 sparse 16 MiB", Options(Revision::k250, true, Allocation::kLong)};
  sparse.options.sizeInSectors = kSparseSectors;
  return {
      {"2.50 EFE long", Options(Revision::k250, true, Allocation::kLong)},
      {"2.50 FE long", Options(Revision::k250, false, Allocation::kLong)},
      {"2.50 EFE embedded", Options(Revision::k250, true, Allocation::kEmbedded)},
      {"2.01 EFE short", Options(Revision::k201, true, Allocation::kShort)},
      {"2.01 FE long, bridge", Options(Revision::k201, false, Allocation::kLong, true)},
      {"1.02 FE short", Options(Revision::k102, false, Allocation::kShort)},
      {"1.02 FE embedded", Options(Revision::k102, false, Allocation::kEmbedded)},
      {"1.02 FE short, bridge", Options(Revision::k102, false, Allocation::kShort, true)},
      {"2.50 EFE long, bridge", Options(Revision::k250, true, Allocation::kLong, true)},
      // Its last block holds one byte: a rounding of blocks must not drop it.
      {"1.02 index of two blocks and a byte", Options(Revision::k102, false, Allocation::kShort),
       2 * kSectorSize + 1},
      fragmented,
      fragmentedShort,
      fragmentedBridge,
      sparse,
  };
}

std::vector<ImageVariant> RefusedVariants() {
  const ImageOptions plain = Options(Revision::k250, true, Allocation::kLong);
  ImageVariant shared{"2.50 index sharing its extent with BACKUP", plain};
  shared.options.shareIndexWithBackup = true;
  ImageVariant sharedBridge{"1.02 index sharing its extent with BACKUP, bridge",
                            Options(Revision::k102, false, Allocation::kShort, true)};
  sharedBridge.options.shareIndexWithBackup = true;
  ImageVariant virtualPartition{"2.01 virtual partition",
                                Options(Revision::k201, true, Allocation::kLong)};
  virtualPartition.options.partition = PartitionKind::kVirtual;
  ImageVariant sparable{"2.01 sparable partition",
                        Options(Revision::k201, false, Allocation::kShort)};
  sparable.options.partition = PartitionKind::kSparable;
  return {
      {"2.50 full last block", plain, 2 * kSectorSize},
      {"2.50 last block with 23 bytes free", plain, kSectorSize + 2025},
      {"2.50 embedded index without room", Options(Revision::k250, true, Allocation::kEmbedded),
       kSectorSize - 216 - 10},
      {"1.02 embedded index in a bridge",
       Options(Revision::k102, false, Allocation::kEmbedded, true)},
      shared,
      sharedBridge,
      virtualPartition,
      sparable,
  };
}

std::vector<ImageFile> VariantFiles(const ImageVariant& variant, std::uint8_t appInfoFlags) {
  std::vector<ImageFile> files = DiscFiles(appInfoFlags);
  if (variant.indexLength > 0) files.front().bytes.resize(variant.indexLength);
  return files;
}

}  // namespace testimage
