#include "bdmv/index_table.h"

#include <algorithm>

namespace index_table {

Header ReadHeader(std::span<const std::uint8_t> firstBytes) {
  Header header;
  if (firstBytes.size() < kMinimumSize ||
      !std::equal(kTypeIndicator.begin(), kTypeIndicator.end(), firstBytes.begin())) {
    return header;
  }
  header.isIndexTable = true;
  for (std::size_t i = 0; i < 4; ++i) {
    header.extensionDataAddress =
        (header.extensionDataAddress << 8) | firstBytes[kExtensionDataAddressOffset + i];
  }
  header.flags = firstBytes[kFlagsOffset];
  return header;
}

std::array<std::uint8_t, 4> AddressBytes(std::uint64_t length) {
  const auto address = static_cast<std::uint32_t>(length);
  return {static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
          static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
}

std::vector<BytePatch> PatchFor(std::uint64_t length, bool convert3DTo2D) {
  if (length > kMaxPatchableLength) return {};
  const auto address = AddressBytes(length);
  std::vector<BytePatch> patches = {
      {kExtensionDataAddressOffset, {address.begin(), address.end()}},
      {length, {kExtensionDataBlock.begin(), kExtensionDataBlock.end()}},
  };
  if (convert3DTo2D) patches.push_back({kFlagsOffset, {0x00}});
  return patches;
}

}  // namespace index_table
