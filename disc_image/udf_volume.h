#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "disc_image/image_reader.h"
#include "platform/directory.h"

// The UDF volume of an image, read as far as a path needs and no further: anchor, volume
// descriptors, partitions (with a metadata partition's two copies), file set, directories and
// file entries. What cannot be read refuses the image (ImageRefusal).
namespace udf {

// Where a descriptor or extent lies: a block of a partition, by its index in the partition maps.
struct BlockAddress {
  std::uint32_t block = 0;
  std::uint16_t partition = 0;
  bool operator==(const BlockAddress&) const = default;
};

enum class ExtentType : std::uint8_t { kRecorded, kAllocated, kUnallocated };

struct Extent {
  std::uint32_t length = 0;  // in bytes, without the type bits
  ExtentType type = ExtentType::kRecorded;
  BlockAddress start;
  std::size_t descriptorOffset = 0;  // of its allocation descriptor in the entry
};

enum class FileType : std::uint8_t { kDirectory = 4, kFile = 5 };

// A file entry (FE) or extended file entry (EFE), as its main copy holds it.
struct FileEntry {
  BlockAddress address;
  std::vector<std::uint8_t> bytes;  // as far as its descriptors or embedded data reach
  bool extended = false;
  std::uint8_t fileType = 0;
  std::uint16_t linkCount = 0;
  std::uint64_t length = 0;
  bool embedded = false;         // the data lies in the entry, where the descriptors would
  std::size_t dataOffset = 0;    // of the allocation descriptors or the embedded data
  std::uint32_t dataLength = 0;  // L_AD
  std::vector<Extent> extents;

  std::size_t UsedSize() const { return dataOffset + dataLength; }
};

// Field offsets inside a file entry (FE, EFE).
inline constexpr std::size_t kInformationLengthOffset = 56;
inline constexpr std::size_t kObjectSizeOffset = 64;  // EFE only
inline constexpr std::size_t kFeModificationTimeOffset = 84;
inline constexpr std::size_t kEfeModificationTimeOffset = 92;
inline constexpr std::size_t kFeAllocationLengthOffset = 172;
inline constexpr std::size_t kEfeAllocationLengthOffset = 212;

struct DirectoryItem {
  platform::DirEntry entry;
  BlockAddress icb;
};

// A run of image sectors.
struct SectorRange {
  std::uint64_t first = 0;
  std::uint64_t count = 0;
  bool Overlaps(const SectorRange& other) const {
    return first < other.first + other.count && other.first < first + count;
  }
};

// The anchor volume descriptor pointer, at sector 256 or else at the last sector.
std::optional<std::vector<std::uint8_t>> FindAnchor(const disc_image::ImageReader& reader);

class Volume {
 public:
  static Volume Open(const disc_image::ImageReader& reader);

  const disc_image::ImageReader& Reader() const { return *m_reader; }
  BlockAddress RootDirectory() const { return m_root; }

  FileEntry ReadEntry(const BlockAddress& address) const;
  // A directory's named entries; deleted entries and the parent are left out.
  std::vector<DirectoryItem> ReadDirectory(const FileEntry& directory) const;
  std::vector<std::uint8_t> ReadData(const FileEntry& file, std::uint64_t offset,
                                     std::size_t length) const;

  // The image sectors that hold a block: one, or with a metadata partition its main copy and
  // its mirror's.
  std::vector<std::uint64_t> SectorCopies(const BlockAddress& address) const;
  // Where each copy of a byte of the file lies in the image; an offset up to the end of the
  // last block of its data counts, since that block is the file's.
  std::vector<std::uint64_t> ByteCopies(const FileEntry& file, std::uint64_t offset) const;
  // The sectors the file's allocated extents hold.
  std::vector<SectorRange> SectorsOf(const FileEntry& file) const;
  // Refuses the entry as damaged unless its tag's CRC holds and each further copy holds what its
  // main copy holds.
  void CheckWhole(const FileEntry& entry) const;

 private:
  struct Partition {
    bool metadata = false;
    std::uint64_t start = 0;   // physical: its first sector
    std::uint64_t length = 0;  // in blocks
    // Metadata: where the metadata file and its mirror keep the partition's blocks.
    std::vector<std::vector<SectorRange>> copies;
  };

  explicit Volume(const disc_image::ImageReader& reader) : m_reader(&reader) {}
  FileEntry ParseEntry(const BlockAddress& address, std::vector<std::uint8_t> bytes) const;
  std::vector<SectorRange> ExtentSectors(const Extent& extent) const;

  const disc_image::ImageReader* m_reader;
  std::vector<Partition> m_partitions;
  BlockAddress m_root;
};

}  // namespace udf
