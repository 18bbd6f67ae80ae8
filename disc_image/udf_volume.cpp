#include "disc_image/udf_volume.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <utility>

#include "disc_image/image_refusal.h"
#include "disc_image/udf_descriptors.h"

namespace udf {
namespace {

using disc_image::ImageReader;
using disc_image::ImageRefusal;
using disc_image::kSectorSize;
using disc_image::RefuseDamaged;
namespace msg = image_messages;

constexpr std::uint64_t kAnchorSector = 256;
// The logical volume descriptor up to its partition maps.
constexpr std::size_t kLogicalVolumeSize = 440;
// More than any real sequence holds; a damaged length must not make the read go on and on.
constexpr std::uint64_t kMaxSequenceSectors = 64;
// Far beyond any directory a disc's path crosses.
constexpr std::uint64_t kMaxDirectorySize = 4 << 20;

BlockAddress LongAdAddress(std::span<const std::uint8_t> bytes, std::size_t at) {
  return {Le32(bytes, at + 4), Le16(bytes, at + 8)};
}

std::uint64_t BlocksOf(std::uint64_t length) {
  return (length + kSectorSize - 1) / kSectorSize;
}

// The partition and logical volume descriptors of one volume descriptor sequence, each the one
// with the highest sequence number; nothing when the sequence cannot be read whole.
struct VolumeDescriptors {
  std::vector<std::uint8_t> logicalVolume;
  std::map<std::uint16_t, std::vector<std::uint8_t>> partitions;
};

void KeepNewest(std::vector<std::uint8_t>& kept, std::vector<std::uint8_t> descriptor) {
  constexpr std::size_t kSequenceNumberOffset = 16;
  if (kept.empty() ||
      Le32(descriptor, kSequenceNumberOffset) >= Le32(kept, kSequenceNumberOffset)) {
    kept = std::move(descriptor);
  }
}

std::optional<VolumeDescriptors> ReadSequence(const ImageReader& reader, std::uint32_t length,
                                              std::uint32_t location) {
  constexpr std::size_t kPartitionNumberOffset = 22;
  constexpr std::size_t kPartitionDescriptorSize = 196;  // up to the partition's length
  constexpr std::size_t kMapTableLengthOffset = 264;
  VolumeDescriptors found;
  const std::uint64_t count = std::min<std::uint64_t>(length / kSectorSize, kMaxSequenceSectors);
  for (std::uint64_t sector = location; sector < location + count; ++sector) {
    if (!reader.Holds(sector * kSectorSize, kSectorSize)) return std::nullopt;
    const std::vector<std::uint8_t> tag = reader.ReadSector(sector, kTagSize);
    const std::uint16_t identifier = Le16(tag, 0);
    if (!HasTag(tag, identifier) || Le32(tag, kTagLocationOffset) != sector) return std::nullopt;
    if (identifier == kTerminatingTag) break;
    if (identifier == kPartitionTag) {
      std::vector<std::uint8_t> descriptor = reader.ReadSector(sector, kPartitionDescriptorSize);
      const std::uint16_t number = Le16(descriptor, kPartitionNumberOffset);
      KeepNewest(found.partitions[number], std::move(descriptor));
    } else if (identifier == kLogicalVolumeTag) {
      const std::uint32_t mapTableLength =
          Le32(reader.ReadSector(sector, kLogicalVolumeSize), kMapTableLengthOffset);
      if (mapTableLength > kSectorSize - kLogicalVolumeSize) return std::nullopt;
      KeepNewest(found.logicalVolume,
                 reader.ReadSector(sector, kLogicalVolumeSize + mapTableLength));
    }
  }
  if (found.logicalVolume.empty()) return std::nullopt;
  return found;
}

std::string_view MapIdentifier(std::span<const std::uint8_t> map) {
  // The entity identifier's flags byte, then up to 23 characters padded with zeros.
  constexpr std::size_t kIdentifierOffset = 5;
  constexpr std::size_t kIdentifierSize = 23;
  if (map.size() < kIdentifierOffset + kIdentifierSize) RefuseDamaged();
  const auto* characters = reinterpret_cast<const char*>(map.data() + kIdentifierOffset);
  const std::string_view identifier(characters, kIdentifierSize);
  return identifier.substr(0, identifier.find('\0'));
}

// The image sectors of `count` blocks from `block` on, through the ranges that hold a metadata
// partition's blocks in order; none when they run past them.
std::optional<std::vector<SectorRange>> MapThrough(const std::vector<SectorRange>& ranges,
                                                   std::uint64_t block, std::uint64_t count) {
  std::vector<SectorRange> sectors;
  for (const SectorRange& range : ranges) {
    if (count == 0) break;
    if (block >= range.count) {
      block -= range.count;
      continue;
    }
    const std::uint64_t taken = std::min(count, range.count - block);
    sectors.push_back({range.first + block, taken});
    count -= taken;
    block = 0;
  }
  if (count != 0) return std::nullopt;
  return sectors;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> FindAnchor(const ImageReader& reader) {
  std::vector<std::uint64_t> candidates = {kAnchorSector};
  if (reader.SectorCount() > kAnchorSector + 1) candidates.push_back(reader.SectorCount() - 1);
  for (const std::uint64_t sector : candidates) {
    constexpr std::size_t kAnchorSize = 32;
    if (!reader.Holds(sector * kSectorSize, kSectorSize)) continue;
    std::vector<std::uint8_t> anchor = reader.ReadSector(sector, kAnchorSize);
    if (HasTag(anchor, kAnchorTag) && Le32(anchor, kTagLocationOffset) == sector) return anchor;
  }
  return std::nullopt;
}

Volume Volume::Open(const ImageReader& reader) {
  constexpr std::size_t kBlockSizeOffset = 212;
  constexpr std::size_t kFileSetOffset = 248;
  constexpr std::size_t kMapTableLengthOffset = 264;
  constexpr std::size_t kMapCountOffset = 268;
  constexpr std::size_t kMapsOffset = kLogicalVolumeSize;
  constexpr std::size_t kPartitionStartOffset = 188;
  constexpr std::size_t kPartitionLengthOffset = 192;
  constexpr std::size_t kRootDirectoryOffset = 400;
  constexpr std::size_t kFileSetSize = kRootDirectoryOffset + 16;

  const std::optional<std::vector<std::uint8_t>> anchor = FindAnchor(reader);
  if (!anchor) throw ImageRefusal(msg::kModifyNotUdf);
  std::optional<VolumeDescriptors> descriptors =
      ReadSequence(reader, Le32(*anchor, 16), Le32(*anchor, 20));
  if (!descriptors) descriptors = ReadSequence(reader, Le32(*anchor, 24), Le32(*anchor, 28));
  if (!descriptors) RefuseDamaged();
  const std::span<const std::uint8_t> lvd = descriptors->logicalVolume;
  if (Le32(lvd, kBlockSizeOffset) != kSectorSize) throw ImageRefusal(msg::kModifyBlockSize);

  Volume volume(reader);
  struct MetadataMap {
    std::size_t index;
    std::uint16_t partitionNumber;
    std::uint32_t fileLocations[2];
  };
  std::vector<MetadataMap> metadataMaps;
  std::vector<std::uint16_t> numbers;
  std::size_t at = kMapsOffset;
  // Within the descriptor: the sequence read it as far as this length.
  const std::size_t end = kMapsOffset + Le32(lvd, kMapTableLengthOffset);
  const std::uint32_t mapCount = Le32(lvd, kMapCountOffset);
  for (std::uint32_t i = 0; i < mapCount; ++i) {
    const std::uint8_t type = Byte(lvd, at);
    const std::uint8_t length = Byte(lvd, at + 1);
    if (length < 2 || at + length > end) RefuseDamaged();
    const std::span<const std::uint8_t> map = lvd.subspan(at, length);
    at += length;
    Partition partition;
    if (type == 1) {
      const std::uint16_t number = Le16(map, 4);
      const auto descriptor = descriptors->partitions.find(number);
      if (descriptor == descriptors->partitions.end()) RefuseDamaged();
      partition.start = Le32(descriptor->second, kPartitionStartOffset);
      partition.length = Le32(descriptor->second, kPartitionLengthOffset);
      // A partition cut short (an image truncated, or a length made up) would have the patch
      // written into a volume that no reader takes whole; and whatever is read stays within
      // the image, however many blocks a file claims.
      if (partition.start + partition.length > reader.SectorCount()) RefuseDamaged();
      numbers.push_back(number);
    } else if (type == 2) {
      const std::string_view identifier = MapIdentifier(map);
      if (identifier == "*UDF Virtual Partition" || identifier == "*UDF Sparable Partition") {
        throw ImageRefusal(msg::kModifyPartitionKind);
      }
      if (identifier != "*UDF Metadata Partition") {
        throw ImageRefusal(msg::kModifyUnsupportedLayout);
      }
      partition.metadata = true;
      metadataMaps.push_back({i, Le16(map, 38), {Le32(map, 40), Le32(map, 44)}});
      numbers.push_back(Le16(map, 38));
    } else {
      throw ImageRefusal(msg::kModifyUnsupportedLayout);
    }
    volume.m_partitions.push_back(std::move(partition));
  }

  // A metadata partition's blocks are those of its metadata file, and again of its mirror file,
  // which both lie in the physical partition of the same number.
  for (const MetadataMap& map : metadataMaps) {
    std::optional<std::uint16_t> physical;
    for (std::size_t i = 0; i < volume.m_partitions.size(); ++i) {
      if (!volume.m_partitions[i].metadata && numbers[i] == map.partitionNumber) {
        physical = static_cast<std::uint16_t>(i);
      }
    }
    if (!physical) RefuseDamaged();
    std::vector<std::vector<SectorRange>> copies;
    for (const std::uint32_t location : map.fileLocations) {
      constexpr std::uint32_t kNoFile = 0xFFFFFFFF;
      if (location == kNoFile) continue;
      const FileEntry file = volume.ReadEntry({location, *physical});
      if (file.embedded) RefuseDamaged();
      std::vector<SectorRange> ranges;
      for (const Extent& extent : file.extents) {
        if (extent.type != ExtentType::kRecorded) RefuseDamaged();
        const std::vector<SectorRange> sectors = volume.ExtentSectors(extent);
        ranges.insert(ranges.end(), sectors.begin(), sectors.end());
      }
      copies.push_back(std::move(ranges));
    }
    if (copies.empty()) RefuseDamaged();
    Partition& metadata = volume.m_partitions[map.index];
    for (const SectorRange& range : copies.front()) metadata.length += range.count;
    metadata.copies = std::move(copies);
  }

  const BlockAddress fileSet = LongAdAddress(lvd, kFileSetOffset);
  const std::vector<std::uint8_t> fsd =
      reader.ReadSector(volume.SectorCopies(fileSet).front(), kFileSetSize);
  if (!HasTag(fsd, kFileSetTag) || Le32(fsd, kTagLocationOffset) != fileSet.block) RefuseDamaged();
  volume.m_root = LongAdAddress(fsd, kRootDirectoryOffset);
  return volume;
}

std::vector<std::uint64_t> Volume::SectorCopies(const BlockAddress& address) const {
  if (address.partition >= m_partitions.size()) RefuseDamaged();
  const Partition& partition = m_partitions[address.partition];
  if (address.block >= partition.length) RefuseDamaged();
  if (!partition.metadata) return {partition.start + address.block};
  std::vector<std::uint64_t> sectors;
  for (const std::vector<SectorRange>& copy : partition.copies) {
    const auto ranges = MapThrough(copy, address.block, 1);
    if (!ranges) RefuseDamaged();
    const std::uint64_t sector = ranges->front().first;
    if (std::find(sectors.begin(), sectors.end(), sector) == sectors.end()) {
      sectors.push_back(sector);
    }
  }
  return sectors;
}

FileEntry Volume::ReadEntry(const BlockAddress& address) const {
  // The fixed part of the larger kind of entry first; the descriptors beyond it, when there are.
  const std::uint64_t sector = SectorCopies(address).front();
  std::vector<std::uint8_t> bytes = m_reader->ReadSector(sector, kEfeAllocationLengthOffset + 4);
  FileEntry entry = ParseEntry(address, bytes);
  if (entry.UsedSize() > bytes.size()) {
    const std::vector<std::uint8_t> rest =
        m_reader->Read(sector * kSectorSize + bytes.size(), entry.UsedSize() - bytes.size());
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    entry = ParseEntry(address, bytes);
  }
  entry.bytes.resize(entry.UsedSize());
  return entry;
}

FileEntry Volume::ParseEntry(const BlockAddress& address, std::vector<std::uint8_t> bytes) const {
  constexpr std::size_t kFileTypeOffset = 27;
  constexpr std::size_t kFlagsOffset = 34;
  constexpr std::size_t kLinkCountOffset = 48;
  FileEntry entry;
  entry.address = address;
  entry.extended = HasTag(bytes, kExtendedFileEntryTag);
  if (!entry.extended && !HasTag(bytes, kFileEntryTag)) RefuseDamaged();
  if (Le32(bytes, kTagLocationOffset) != address.block) RefuseDamaged();
  entry.fileType = Byte(bytes, kFileTypeOffset);
  entry.linkCount = Le16(bytes, kLinkCountOffset);
  entry.length = Le64(bytes, kInformationLengthOffset);
  const std::size_t lengthsOffset =
      entry.extended ? kEfeAllocationLengthOffset - 4 : kFeAllocationLengthOffset - 4;
  const std::uint32_t extendedAttributes = Le32(bytes, lengthsOffset);
  entry.dataLength = Le32(bytes, lengthsOffset + 4);
  entry.dataOffset = lengthsOffset + 8;
  if (extendedAttributes > kSectorSize || entry.dataLength > kSectorSize ||
      entry.dataOffset + extendedAttributes + entry.dataLength > kSectorSize) {
    RefuseDamaged();
  }
  entry.dataOffset += extendedAttributes;
  // The rest is parsed once the entry is read whole.
  if (entry.UsedSize() > bytes.size()) return entry;

  enum : std::uint16_t { kShort = 0, kLong = 1, kExtended = 2, kEmbedded = 3 };
  const std::uint16_t kind = Le16(bytes, kFlagsOffset) & 0x7;
  if (kind == kExtended) throw ImageRefusal(msg::kModifyExtendedAllocation);
  if (kind == kEmbedded) {
    entry.embedded = true;
    if (entry.length > entry.dataLength) RefuseDamaged();
  } else if (kind == kShort || kind == kLong) {
    const std::size_t size = kind == kShort ? 8 : 16;
    for (std::size_t at = entry.dataOffset; at + size <= entry.UsedSize(); at += size) {
      const std::uint32_t raw = Le32(bytes, at);
      if (raw == 0) break;
      Extent extent;
      extent.length = raw & 0x3FFFFFFF;
      extent.descriptorOffset = at;
      extent.start = {Le32(bytes, at + 4),
                      kind == kShort ? address.partition : Le16(bytes, at + 8)};
      switch (raw >> 30) {
        case 0:
          extent.type = ExtentType::kRecorded;
          break;
        case 1:
          extent.type = ExtentType::kAllocated;
          break;
        case 2:
          extent.type = ExtentType::kUnallocated;
          break;
        default:
          // The descriptors go on in another block: never so for the few files read here.
          throw ImageRefusal(msg::kModifyUnsupportedLayout);
      }
      entry.extents.push_back(extent);
    }
  } else {
    RefuseDamaged();
  }
  entry.bytes = std::move(bytes);
  return entry;
}

std::vector<std::uint8_t> Volume::ReadData(const FileEntry& file, std::uint64_t offset,
                                           std::size_t length) const {
  if (offset > file.length || length > file.length - offset) RefuseDamaged();
  if (file.embedded) {
    const auto first = file.bytes.begin() + static_cast<std::ptrdiff_t>(file.dataOffset + offset);
    return {first, first + static_cast<std::ptrdiff_t>(length)};
  }
  std::vector<std::uint8_t> data;
  data.reserve(length);
  std::uint64_t extentStart = 0;
  for (const Extent& extent : file.extents) {
    while (data.size() < length && offset + data.size() < extentStart + extent.length) {
      if (extent.type != ExtentType::kRecorded) throw ImageRefusal(msg::kModifyUnsupportedLayout);
      const std::uint64_t inExtent = offset + data.size() - extentStart;
      const std::uint64_t within = inExtent % kSectorSize;
      const std::uint64_t block = extent.start.block + inExtent / kSectorSize;
      if (block > 0xFFFFFFFF) RefuseDamaged();
      const std::uint64_t chunk = std::min<std::uint64_t>(
          {length - data.size(), kSectorSize - within, extent.length - inExtent});
      const std::uint64_t sector =
          SectorCopies({static_cast<std::uint32_t>(block), extent.start.partition}).front();
      const std::vector<std::uint8_t> bytes =
          m_reader->Read(sector * kSectorSize + within, static_cast<std::size_t>(chunk));
      data.insert(data.end(), bytes.begin(), bytes.end());
    }
    extentStart += extent.length;
  }
  if (data.size() != length) RefuseDamaged();
  return data;
}

// The block that holds a byte of the file's data, as its descriptors' tags give their place.
std::uint32_t BlockAt(const FileEntry& file, std::uint64_t offset) {
  if (file.embedded) return file.address.block;
  std::uint64_t extentStart = 0;
  for (const Extent& extent : file.extents) {
    if (offset < extentStart + extent.length) {
      return static_cast<std::uint32_t>(extent.start.block + (offset - extentStart) / kSectorSize);
    }
    extentStart += extent.length;
  }
  RefuseDamaged();
}

std::vector<DirectoryItem> Volume::ReadDirectory(const FileEntry& directory) const {
  constexpr std::size_t kFixedSize = 38;
  constexpr std::uint8_t kHidden = 0x01;
  constexpr std::uint8_t kIsDirectory = 0x02;
  constexpr std::uint8_t kDeleted = 0x04;
  constexpr std::uint8_t kParent = 0x08;
  if (directory.fileType != static_cast<std::uint8_t>(FileType::kDirectory) ||
      directory.length > kMaxDirectorySize) {
    RefuseDamaged();
  }
  const std::vector<std::uint8_t> data =
      ReadData(directory, 0, static_cast<std::size_t>(directory.length));
  std::vector<DirectoryItem> items;
  for (std::size_t at = 0; at + kFixedSize <= data.size();) {
    const std::span<const std::uint8_t> fid = std::span(data).subspan(at);
    if (!HasTag(fid, kFileIdentifierTag) ||
        Le32(fid, kTagLocationOffset) != BlockAt(directory, at)) {
      RefuseDamaged();
    }
    const std::uint8_t characteristics = Byte(fid, 18);
    const std::uint8_t nameLength = Byte(fid, 19);
    const std::uint16_t implementationUseLength = Le16(fid, 36);
    const std::size_t nameOffset = kFixedSize + implementationUseLength;
    if (nameOffset + nameLength > fid.size()) RefuseDamaged();
    at += (nameOffset + nameLength + 3) & ~std::size_t{3};
    if (characteristics & (kDeleted | kParent)) continue;
    const std::optional<std::string> name = DecodeIdentifier(fid.subspan(nameOffset, nameLength));
    if (!name) continue;
    const auto kind = (characteristics & kIsDirectory) ? platform::EntryKind::kDirectory
                                                       : platform::EntryKind::kFile;
    items.push_back(
        {{*name, kind, (characteristics & kHidden) != 0, false}, LongAdAddress(fid, 20)});
  }
  return items;
}

std::vector<std::uint64_t> Volume::ByteCopies(const FileEntry& file, std::uint64_t offset) const {
  std::vector<std::uint64_t> copies;
  if (file.embedded) {
    if (file.dataOffset + offset >= kSectorSize) RefuseDamaged();
    for (const std::uint64_t sector : SectorCopies(file.address)) {
      copies.push_back(sector * kSectorSize + file.dataOffset + offset);
    }
    return copies;
  }
  std::uint64_t extentStart = 0;
  for (const Extent& extent : file.extents) {
    const std::uint64_t allocated = BlocksOf(extent.length) * kSectorSize;
    if (offset < extentStart + allocated) {
      const std::uint64_t inExtent = offset - extentStart;
      const std::uint64_t block = extent.start.block + inExtent / kSectorSize;
      if (block > 0xFFFFFFFF) RefuseDamaged();
      for (const std::uint64_t sector :
           SectorCopies({static_cast<std::uint32_t>(block), extent.start.partition})) {
        copies.push_back(sector * kSectorSize + inExtent % kSectorSize);
      }
      return copies;
    }
    extentStart += allocated;
  }
  RefuseDamaged();
}

std::vector<SectorRange> Volume::ExtentSectors(const Extent& extent) const {
  const std::uint64_t blocks = BlocksOf(extent.length);
  if (extent.start.partition >= m_partitions.size()) RefuseDamaged();
  const Partition& partition = m_partitions[extent.start.partition];
  if (extent.start.block + blocks > partition.length) RefuseDamaged();
  if (!partition.metadata) return {{partition.start + extent.start.block, blocks}};
  // A run of blocks at a time, so that a file of many blocks costs what its runs do.
  std::vector<SectorRange> ranges;
  for (const std::vector<SectorRange>& copy : partition.copies) {
    const auto sectors = MapThrough(copy, extent.start.block, blocks);
    if (!sectors) RefuseDamaged();
    ranges.insert(ranges.end(), sectors->begin(), sectors->end());
  }
  return ranges;
}

std::vector<SectorRange> Volume::SectorsOf(const FileEntry& file) const {
  std::vector<SectorRange> ranges;
  for (const Extent& extent : file.extents) {
    if (extent.type == ExtentType::kUnallocated) continue;
    const std::vector<SectorRange> sectors = ExtentSectors(extent);
    ranges.insert(ranges.end(), sectors.begin(), sectors.end());
  }
  return ranges;
}

void Volume::CheckWhole(const FileEntry& entry) const {
  // The patch seals the entry anew: a CRC that did not hold would be made to hold over damage.
  const std::size_t crcLength = Le16(entry.bytes, kTagCrcLengthOffset);
  if (crcLength > entry.bytes.size() - kTagSize ||
      Crc(std::span(entry.bytes).subspan(kTagSize, crcLength)) !=
          Le16(entry.bytes, kTagCrcOffset)) {
    RefuseDamaged();
  }
  const std::vector<std::uint64_t> sectors = SectorCopies(entry.address);
  for (std::size_t i = 1; i < sectors.size(); ++i) {
    if (m_reader->ReadSector(sectors[i], entry.UsedSize()) != entry.bytes) RefuseDamaged();
  }
}

}  // namespace udf
