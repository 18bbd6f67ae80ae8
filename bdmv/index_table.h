#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

// The few fields of a disc's index table that Quorvel reads or changes. Nothing else computes
// offsets into the file.
namespace index_table {

inline constexpr std::array<std::uint8_t, 4> kTypeIndicator = {'I', 'N', 'D', 'X'};
inline constexpr std::size_t kExtensionDataAddressOffset = 12;
// First flags byte of AppInfoBDMV: the initial output mode preference and the 3D-content flag.
inline constexpr std::size_t kFlagsOffset = 44;
// Every field above lies in the first kMinimumSize bytes.
inline constexpr std::size_t kMinimumSize = kFlagsOffset + 1;

// Appended at the end of the file by a patch; the length field holds 24, the whole block.
inline constexpr std::array<std::uint8_t, 24> kExtensionDataBlock = {
    0x00, 0x00, 0x00, 0x18,  // length
    0x00, 0x00, 0x00, 0x18,  // data_block_start_address
    0x00, 0x00, 0x00,        // reserved
    0x01,                    // number_of_ext_data_entries
    0x10, 0x00,              // ID1
    0x01, 0x00,              // ID2
    0x00, 0x00, 0x00, 0x18,  // ext_data_start_address
    0x00, 0x00, 0x00, 0x00,  // ext_data_length
};

// The longest table whose patched end the 32-bit address can still reach.
inline constexpr std::uint64_t kMaxPatchableLength =
    std::numeric_limits<std::uint32_t>::max() - kExtensionDataBlock.size();

// What the first bytes of a file say about it.
struct Header {
  bool isIndexTable = false;  // begins with "INDX" and holds every field above
  std::uint32_t extensionDataAddress = 0;
  std::uint8_t flags = 0;

  bool IsPatched() const { return extensionDataAddress != 0; }
};

// firstBytes: the start of the file (at least kMinimumSize bytes when the file has them).
Header ReadHeader(std::span<const std::uint8_t> firstBytes);

// Bytes to put at an offset of the file, or past its end.
struct BytePatch {
  std::uint64_t offset;
  std::vector<std::uint8_t> bytes;
};

// The extension-data address a patch writes for a table of `length` bytes, big-endian; length is
// at most kMaxPatchableLength.
std::array<std::uint8_t, 4> AddressBytes(std::uint64_t length);

// The changes that give an unpatched index table of `length` bytes its extension-data block,
// and clear its flags byte when convert3DTo2D is set. Empty when the patched file would put
// its block beyond what the 32-bit address can reach.
std::vector<BytePatch> PatchFor(std::uint64_t length, bool convert3DTo2D);

}  // namespace index_table
