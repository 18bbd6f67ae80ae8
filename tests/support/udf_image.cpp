#include "tests/support/udf_image.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "tests/support/bd_disc.h"
#include "tests/support/image_fields.h"
#include "tests/support/iso9660_bridge.h"
#include "tests/support/udf_descriptors.h"

namespace testimage {
namespace {

// Where the volume's structures sit, in sectors.
constexpr std::uint32_t kRecognitionSector = 16;
constexpr std::uint32_t kMainSequenceSector = 32;
constexpr std::uint32_t kReserveSequenceSector = 48;
constexpr std::uint32_t kSequenceLength = 16 * kSectorSize;
constexpr std::uint32_t kIntegritySector = 64;
constexpr std::uint32_t kIsoSector = 80;
constexpr std::uint32_t kAnchorSector = 256;
constexpr std::uint32_t kPartitionStart = 257;

constexpr std::string_view kImplementation = "*Quorvel test images";
constexpr std::string_view kDomain = "*OSTA UDF Compliant";
constexpr std::string_view kVolumeName = "QUORVEL_TEST";
constexpr std::string_view kIndexPath = "BDMV/index.bdmv";
constexpr std::string_view kBackupIndexPath = "BDMV/BACKUP/index.bdmv";

constexpr std::size_t kFileEntrySize = 176;
constexpr std::size_t kExtendedFileEntrySize = 216;
constexpr std::size_t kDescriptorSize = 512;

enum FileType : std::uint8_t {
  kDirectoryFile = 4,
  kRegularFile = 5,
  kMetadataFile = 250,
  kMetadataMirrorFile = 251,
};
enum AdType : std::uint16_t { kShortAds = 0, kLongAds = 1, kEmbeddedData = 3 };
enum Characteristics : std::uint8_t { kDirectoryFid = 0x02, kParentFid = 0x08 };

// Read and execute for all on directories, read for all on files.
constexpr std::uint32_t kDirectoryPermissions = 0x14A5;
constexpr std::uint32_t kFilePermissions = 0x1084;
constexpr std::uint64_t kFirstUniqueId = 16;  // 1 to 15 are reserved

std::uint32_t Blocks(std::uint64_t bytes) {
  return static_cast<std::uint32_t>((bytes + kSectorSize - 1) / kSectorSize);
}

struct Extent {
  std::uint32_t block = 0;   // in the partition the entry's descriptors say
  std::uint32_t length = 0;  // bytes
};

struct Node {
  std::string name;
  std::string path;
  bool directory = false;
  Bytes bytes;  // a file's data; a directory's identifiers once laid out
  Node* parent = nullptr;
  std::vector<std::unique_ptr<Node>> children;
  const Node* sharesDataOf = nullptr;
  std::uint64_t uniqueId = 0;
  std::uint32_t entryBlock = 0;
  bool embedded = false;
  std::vector<Extent> extents;
  std::vector<Extent> isoCopy;  // embedded data's second copy, which the ISO 9660 view needs
};

// Pre-order, children by name: the order of every layout decision.
template <typename NodeType, typename Visit>
void ForEach(NodeType& node, const Visit& visit) {
  visit(node);
  for (const auto& child : node.children) ForEach(static_cast<NodeType&>(*child), visit);
}

struct EntryFields {
  std::uint8_t fileType = kRegularFile;
  std::uint16_t adType = kLongAds;
  Bytes allocation;  // the descriptors, or the embedded data
  std::uint64_t length = 0;
  std::uint64_t blocksRecorded = 0;
  std::uint16_t links = 1;
  std::uint32_t permissions = kFilePermissions;
  std::uint64_t uniqueId = 0;
  std::uint32_t location = 0;
};

class Builder {
 public:
  Builder(const std::vector<ImageFile>& files, const ImageOptions& options) : o_(options) {
    if (o_.revision == Revision::k102 && o_.extendedEntries) {
      throw std::invalid_argument("UDF 1.02 has no extended file entries");
    }
    if (o_.revision == Revision::k250 && o_.allocation == Allocation::kShort) {
      throw std::invalid_argument("a UDF 2.50 file's data lies outside its entry's partition");
    }
    root_.directory = true;
    root_.parent = &root_;
    for (const ImageFile& file : files) Add(file.path).bytes = file.bytes;
    if (o_.shareIndexWithBackup) {
      Node& backup = Add(std::string(kBackupIndexPath));
      backup.sharesDataOf = &Find(kIndexPath);
      backup.bytes = backup.sharesDataOf->bytes;
    }
    ForEach(root_, [](Node& n) {
      std::sort(n.children.begin(), n.children.end(),
                [](const auto& a, const auto& b) { return a->name < b->name; });
    });
  }

  FilePlacement Placement(const std::string& path) {
    LayOut();
    const Node& file = Find(path);
    FilePlacement placement;
    const std::uint32_t entriesStart = kPartitionStart + (Metadata() ? kMetadataStart : 0);
    placement.entrySectors.push_back(entriesStart + file.entryBlock);
    if (Metadata()) placement.entrySectors.push_back(entriesStart + entryBlocks_ + file.entryBlock);
    for (const Extent& e : file.extents) {
      for (std::uint32_t b = 0; b < Blocks(e.length); ++b) {
        placement.dataSectors.push_back(kPartitionStart + e.block + b);
      }
    }
    if (o_.bridge) {
      const IsoNode tree = IsoTree(root_);
      const IsoNode* dir = &tree;
      // Down the path's folders to the one that lists the file.
      std::size_t start = 0;
      for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos;
           start = slash + 1) {
        const std::string name = path.substr(start, slash - start);
        dir = &*std::find_if(dir->children.begin(), dir->children.end(),
                             [&](const IsoNode& c) { return c.name == name; });
      }
      for (const std::uint32_t sector : IsoDirectorySectors(tree, kIsoSector, *dir)) {
        placement.listingSectors.push_back(sector);
      }
    }
    return placement;
  }

  SectorImage Build() {
    LayOut();
    SectorImage image(sectorCount_);
    WriteRecognition(image);
    for (const std::uint32_t sector : {kMainSequenceSector, kReserveSequenceSector}) {
      WriteVolumeSequence(image, sector);
    }
    image.Put(kIntegritySector, IntegrityDescriptor());
    image.Put(kIntegritySector + 1, Terminating(kIntegritySector + 1));
    image.Put(kAnchorSector, Anchor(kAnchorSector));
    image.Put(sectorCount_ - 1, Anchor(static_cast<std::uint32_t>(sectorCount_ - 1)));
    WriteEntries(image);
    WriteData(image);
    if (o_.bridge) WriteIsoBridge(image, IsoTree(root_), kIsoSector);
    return image;
  }

 private:
  // ---- the tree ----

  Node& Add(const std::string& path) {
    Node* at = &root_;
    std::size_t start = 0;
    while (true) {
      const std::size_t slash = path.find('/', start);
      const std::string name = path.substr(start, slash - start);
      if (name.empty()) throw std::invalid_argument("empty name in " + path);
      Node* child = nullptr;
      for (auto& c : at->children) {
        if (c->name == name) child = c.get();
      }
      const bool last = slash == std::string::npos;
      if (child && (last || !child->directory)) throw std::invalid_argument("twice: " + path);
      if (!child) {
        at->children.push_back(std::make_unique<Node>());
        child = at->children.back().get();
        child->name = name;
        child->path = path.substr(0, slash);
        child->directory = !last;
        child->parent = at;
      }
      if (last) return *child;
      at = child;
      start = slash + 1;
    }
  }

  Node& Find(std::string_view path) {
    Node* found = nullptr;
    ForEach(root_, [&](Node& n) {
      if (!n.directory && n.path == path) found = &n;
    });
    if (!found) throw std::invalid_argument(std::string(path) + " is not among the files");
    return *found;
  }

  // ---- layout ----

  bool Metadata() const { return o_.revision == Revision::k250; }
  std::uint16_t EntriesPartition() const { return Metadata() ? 1 : 0; }
  std::uint16_t TagVersion() const { return o_.revision == Revision::k102 ? 2 : 3; }
  std::uint16_t UdfRevision() const {
    switch (o_.revision) {
      case Revision::k102:
        return 0x0102;
      case Revision::k201:
        return 0x0201;
      case Revision::k250:
        break;
    }
    return 0x0250;
  }
  std::size_t EntrySize() const {
    return o_.extendedEntries ? kExtendedFileEntrySize : kFileEntrySize;
  }

  static std::size_t FidSize(std::size_t nameLength) { return (38 + nameLength + 3) / 4 * 4; }

  std::size_t DirectoryLength(const Node& dir) const {
    std::size_t length = FidSize(0);
    for (const auto& child : dir.children) length += FidSize(udf::Cs0(child->name).size());
    return length;
  }

  // Entries and directories first (in the metadata partition for 2.50, else at the start of the
  // partition), then each file's data from a fresh block.
  void LayOut() {
    std::uint32_t next = kFileSetBlock + 1;
    std::uint64_t uniqueId = kFirstUniqueId;
    ForEach(root_, [&](Node& n) {
      n.uniqueId = &n == &root_ ? 0 : uniqueId++;
      n.entryBlock = next++;
      if (!n.directory) return;
      const auto length = static_cast<std::uint32_t>(DirectoryLength(n));
      n.extents = {{next, length}};
      next += Blocks(length);
    });
    nextUniqueId_ = uniqueId;
    entryBlocks_ = next;

    std::uint32_t data = Metadata() ? kMetadataStart + 2 * entryBlocks_ : entryBlocks_;
    ForEach(root_, [&](Node& n) {
      if (n.directory || n.sharesDataOf) return;
      const bool fragment = o_.fragmentIndex && n.path == kIndexPath;
      n.embedded =
          o_.allocation == Allocation::kEmbedded && EntrySize() + n.bytes.size() <= kSectorSize;
      if (n.embedded && (fragment || (o_.shareIndexWithBackup && n.path == kIndexPath))) {
        throw std::invalid_argument("embedded data has no extent to split or share");
      }
      const std::uint32_t blocks = Blocks(n.bytes.size());
      const auto length = static_cast<std::uint32_t>(n.bytes.size());
      std::vector<Extent>& extents = n.embedded ? n.isoCopy : n.extents;
      if (n.embedded && !o_.bridge) return;
      if (fragment) {
        if (blocks < 2) throw std::invalid_argument("a fragmented index needs two blocks");
        const std::uint32_t first = blocks / 2;
        const std::uint32_t firstLength = first * static_cast<std::uint32_t>(kSectorSize);
        extents = {{data, firstLength}, {data + first + 1, length - firstLength}};
        data += blocks + 1;
      } else if (blocks > 0) {
        extents = {{data, length}};
        data += blocks;
      }
    });
    ForEach(root_, [](Node& n) {
      if (n.sharesDataOf) n.extents = n.sharesDataOf->extents;
    });

    if (o_.sizeInSectors == 0) {
      partitionLength_ = data;
      sectorCount_ = kPartitionStart + data + 1;
    } else {
      if (o_.sizeInSectors < kPartitionStart + data + 1) {
        throw std::invalid_argument("the files do not fit in sizeInSectors");
      }
      sectorCount_ = o_.sizeInSectors;
      partitionLength_ = static_cast<std::uint32_t>(sectorCount_ - 1 - kPartitionStart);
    }
  }

  // ---- volume structures ----

  static Bytes Recognition(std::string_view identifier) {
    Bytes d(kSectorSize);
    PutBytes(d, 1, identifier);
    d[6] = 1;  // structure version
    return d;
  }

  void WriteRecognition(SectorImage& image) const {
    std::uint32_t sector =
        o_.bridge ? kIsoDescriptorsSector + kIsoDescriptorCount : kRecognitionSector;
    const std::string_view nsr = o_.revision == Revision::k102 ? "NSR02" : "NSR03";
    for (const std::string_view id : {std::string_view("BEA01"), nsr, std::string_view("TEA01")}) {
      image.Put(sector++, Recognition(id));
    }
  }

  void Finish(Bytes& d, std::uint16_t tag, std::uint32_t location) const {
    udf::FinishTag(d, tag, TagVersion(), location);
  }

  Bytes Anchor(std::uint32_t sector) const {
    Bytes d(kDescriptorSize);
    udf::PutExtentAd(d, 16, kSequenceLength, kMainSequenceSector);
    udf::PutExtentAd(d, 24, kSequenceLength, kReserveSequenceSector);
    Finish(d, udf::kAnchor, sector);
    return d;
  }

  Bytes Terminating(std::uint32_t location) const {
    Bytes d(kDescriptorSize);
    Finish(d, udf::kTerminating, location);
    return d;
  }

  void WriteVolumeSequence(SectorImage& image, std::uint32_t first) const {
    std::uint32_t sector = first;
    std::uint32_t number = 0;
    auto put = [&](Bytes d, std::uint16_t tag) {
      PutLe32(d, 16, number++);
      Finish(d, tag, sector);
      image.Put(sector++, d);
    };
    put(PrimaryVolume(), udf::kPrimaryVolume);
    put(ImplementationUse(), udf::kImplementationUseVolume);
    put(PartitionDescriptor(), udf::kPartition);
    put(LogicalVolume(), udf::kLogicalVolume);
    put(Bytes(24), udf::kUnallocatedSpace);  // no free space: nothing is ever added
    image.Put(sector, Terminating(sector));
  }

  Bytes PrimaryVolume() const {
    Bytes d(kDescriptorSize);
    udf::PutDstring(d, 24, 32, kVolumeName);
    PutLe16(d, 56, 1);  // volume sequence number
    PutLe16(d, 58, 1);  // maximum
    PutLe16(d, 60, 2);  // interchange level
    PutLe16(d, 62, 3);
    PutLe32(d, 64, 1);  // character set list: CS0
    PutLe32(d, 68, 1);
    udf::PutDstring(d, 72, 128, "0123456789ABCDEFQUORVEL");
    udf::PutCharSpec(d, 200);
    udf::PutCharSpec(d, 264);
    udf::PutTimestamp(d, 376);
    udf::PutEntityId(d, 388, kImplementation);
    return d;
  }

  Bytes ImplementationUse() const {
    Bytes d(kDescriptorSize);
    udf::PutEntityId(d, 20, "*UDF LV Info", UdfRevision());
    udf::PutCharSpec(d, 52);
    udf::PutDstring(d, 116, 128, kVolumeName);
    udf::PutEntityId(d, 352, kImplementation);
    return d;
  }

  Bytes PartitionDescriptor() const {
    Bytes d(kDescriptorSize);
    PutLe16(d, 20, 1);  // allocated
    PutLe16(d, 22, 0);  // partition number
    udf::PutEntityId(d, 24, o_.revision == Revision::k102 ? "+NSR02" : "+NSR03");
    PutLe32(d, 184, 1);  // read-only
    PutLe32(d, 188, kPartitionStart);
    PutLe32(d, 192, partitionLength_);
    udf::PutEntityId(d, 196, kImplementation);
    return d;
  }

  Bytes PartitionMaps() const {
    Bytes maps{1, 6, 1, 0, 0, 0};  // type 1: volume 1, partition 0
    auto type2 = [&](std::string_view identifier) {
      Bytes map(64);
      map[0] = 2;
      map[1] = 64;
      udf::PutEntityId(map, 4, identifier, UdfRevision());
      PutLe16(map, 36, 1);  // volume sequence number
      PutLe16(map, 38, 0);  // partition number
      return map;
    };
    if (Metadata()) {
      Bytes map = type2("*UDF Metadata Partition");
      PutLe32(map, 40, kMetadataFileBlock);
      PutLe32(map, 44, kMetadataMirrorBlock);
      PutLe32(map, 48, 0xFFFFFFFF);  // no metadata bitmap: nothing is ever added
      PutLe32(map, 52, 32);          // allocation unit
      PutLe16(map, 56, 1);           // alignment unit
      maps.insert(maps.end(), map.begin(), map.end());
    }
    if (o_.partition == PartitionKind::kVirtual) {
      const Bytes map = type2("*UDF Virtual Partition");
      maps.insert(maps.end(), map.begin(), map.end());
    } else if (o_.partition == PartitionKind::kSparable) {
      Bytes map = type2("*UDF Sparable Partition");
      PutLe16(map, 40, 32);  // packet length
      map[42] = 1;           // one sparing table
      PutLe32(map, 44, kSectorSize);
      maps.insert(maps.end(), map.begin(), map.end());
    }
    return maps;
  }

  std::uint32_t MapCount() const {
    return 1 + (Metadata() ? 1 : 0) + (o_.partition == PartitionKind::kPhysical ? 0 : 1);
  }

  Bytes LogicalVolume() const {
    const Bytes maps = PartitionMaps();
    Bytes d(440 + maps.size());
    udf::PutCharSpec(d, 20);
    udf::PutDstring(d, 84, 128, kVolumeName);
    PutLe32(d, 212, kSectorSize);
    udf::PutEntityId(d, 216, kDomain, UdfRevision());
    udf::PutLongAd(d, 248, kSectorSize, kFileSetBlock, EntriesPartition());
    PutLe32(d, 264, static_cast<std::uint32_t>(maps.size()));
    PutLe32(d, 268, MapCount());
    udf::PutEntityId(d, 272, kImplementation);
    udf::PutExtentAd(d, 432, 2 * kSectorSize, kIntegritySector);
    PutBytes(d, 440, maps);
    return d;
  }

  Bytes IntegrityDescriptor() const {
    constexpr std::uint32_t kImplementationUseLength = 46;
    const std::uint32_t n = MapCount();
    Bytes d(80 + 8 * n + kImplementationUseLength);
    udf::PutTimestamp(d, 16);
    PutLe32(d, 28, 1);  // closed
    PutLe64(d, 40, nextUniqueId_);
    PutLe32(d, 72, n);
    PutLe32(d, 76, kImplementationUseLength);
    PutLe32(d, 80 + 4 * n, partitionLength_);  // size table; the free space table stays 0
    if (Metadata()) PutLe32(d, 84 + 4 * n, entryBlocks_);
    const std::size_t use = 80 + 8 * n;
    udf::PutEntityId(d, use, kImplementation);
    std::uint32_t files = 0, directories = 0;
    ForEach(root_, [&](const Node& node) { ++(node.directory ? directories : files); });
    PutLe32(d, use + 32, files);
    PutLe32(d, use + 36, directories);
    for (const std::size_t at : {use + 40, use + 42, use + 44}) PutLe16(d, at, UdfRevision());
    Finish(d, udf::kLogicalVolumeIntegrity, kIntegritySector);
    return d;
  }

  // ---- file set, directories and entries ----

  Bytes FileSet() const {
    Bytes d(kDescriptorSize);
    udf::PutTimestamp(d, 16);
    PutLe16(d, 28, 3);  // interchange level
    PutLe16(d, 30, 3);
    PutLe32(d, 32, 1);  // character set list: CS0
    PutLe32(d, 36, 1);
    udf::PutCharSpec(d, 48);
    udf::PutDstring(d, 112, 128, kVolumeName);
    udf::PutCharSpec(d, 240);
    udf::PutDstring(d, 304, 32, kVolumeName);
    udf::PutLongAd(d, 400, kSectorSize, root_.entryBlock, EntriesPartition());
    udf::PutEntityId(d, 416, kDomain, UdfRevision());
    Finish(d, udf::kFileSet, kFileSetBlock);
    return d;
  }

  Bytes Fid(std::uint8_t characteristics, const Bytes& name, const Node& target,
            std::uint32_t location) const {
    Bytes d(FidSize(name.size()));
    PutLe16(d, 16, 1);  // file version
    d[18] = characteristics;
    d[19] = static_cast<std::uint8_t>(name.size());
    udf::PutLongAd(d, 20, kSectorSize, target.entryBlock, EntriesPartition());
    PutBytes(d, 38, name);
    Finish(d, udf::kFileIdentifier, location);
    return d;
  }

  Bytes DirectoryData(const Node& dir) const {
    const std::uint32_t first = dir.extents.front().block;
    Bytes data = Fid(kDirectoryFid | kParentFid, {}, *dir.parent, first);
    for (const auto& child : dir.children) {
      const auto location = first + static_cast<std::uint32_t>(data.size() / kSectorSize);
      const Bytes fid =
          Fid(child->directory ? kDirectoryFid : 0, udf::Cs0(child->name), *child, location);
      data.insert(data.end(), fid.begin(), fid.end());
    }
    return data;
  }

  Bytes EncodeEntry(const EntryFields& f, bool extended) const {
    const std::size_t header = extended ? kExtendedFileEntrySize : kFileEntrySize;
    Bytes d(header + f.allocation.size());
    PutLe16(d, 20, 4);  // ICB strategy 4: a single entry
    PutLe16(d, 24, 1);  // maximum number of entries
    d[27] = f.fileType;
    PutLe16(d, 34, f.adType);
    PutLe32(d, 44, f.permissions);
    PutLe16(d, 48, f.links);
    PutLe64(d, 56, f.length);
    if (extended) {
      PutLe64(d, 64, f.length);  // object size: no streams
      PutLe64(d, 72, f.blocksRecorded);
      for (const std::size_t at : {80, 92, 104, 116}) udf::PutTimestamp(d, at);
      PutLe32(d, 128, 1);  // checkpoint
      udf::PutEntityId(d, 168, kImplementation);
      PutLe64(d, 200, f.uniqueId);
      PutLe32(d, 212, static_cast<std::uint32_t>(f.allocation.size()));
    } else {
      PutLe64(d, 64, f.blocksRecorded);
      for (const std::size_t at : {72, 84, 96}) udf::PutTimestamp(d, at);
      PutLe32(d, 108, 1);
      udf::PutEntityId(d, 128, kImplementation);
      PutLe64(d, 160, f.uniqueId);
      PutLe32(d, 172, static_cast<std::uint32_t>(f.allocation.size()));
    }
    PutBytes(d, header, f.allocation);
    Finish(d, extended ? udf::kExtendedFileEntry : udf::kFileEntry, f.location);
    return d;
  }

  Bytes AllocationDescriptors(const std::vector<Extent>& extents, std::uint16_t partition,
                              std::uint16_t& adType) const {
    const bool shortAds = o_.allocation == Allocation::kShort;
    adType = shortAds ? kShortAds : kLongAds;
    const std::size_t size = shortAds ? 8 : 16;
    Bytes ads(extents.size() * size);
    for (std::size_t i = 0; i < extents.size(); ++i) {
      if (shortAds) {
        udf::PutShortAd(ads, i * size, extents[i].length, extents[i].block);
      } else {
        udf::PutLongAd(ads, i * size, extents[i].length, extents[i].block, partition);
      }
    }
    return ads;
  }

  Bytes Entry(const Node& n) const {
    EntryFields f;
    f.uniqueId = n.uniqueId;
    f.location = n.entryBlock;
    f.length = n.directory ? n.extents.front().length : n.bytes.size();
    if (n.directory) {
      f.fileType = kDirectoryFile;
      f.permissions = kDirectoryPermissions;
      f.links = 1;
      for (const auto& child : n.children) f.links += child->directory ? 1 : 0;
    }
    if (n.embedded) {
      f.adType = kEmbeddedData;
      f.allocation = n.bytes;
    } else {
      f.allocation =
          AllocationDescriptors(n.extents, n.directory ? EntriesPartition() : 0, f.adType);
      for (const Extent& e : n.extents) f.blocksRecorded += Blocks(e.length);
    }
    return EncodeEntry(f, o_.extendedEntries);
  }

  Bytes MetadataEntry(std::uint8_t fileType, std::uint32_t location,
                      std::uint32_t extentStart) const {
    EntryFields f;
    f.fileType = fileType;
    f.adType = kShortAds;
    f.allocation = Bytes(8);
    const auto length = static_cast<std::uint32_t>(entryBlocks_ * kSectorSize);
    udf::PutShortAd(f.allocation, 0, length, extentStart);
    f.length = length;
    f.blocksRecorded = entryBlocks_;
    f.location = location;
    return EncodeEntry(f, true);
  }

  // The file set and every entry and directory, in the metadata file and its mirror for 2.50.
  void WriteEntries(SectorImage& image) const {
    Bytes area(entryBlocks_ * kSectorSize);
    auto place = [&area](std::uint32_t block, const Bytes& d) {
      PutBytes(area, block * kSectorSize, d);
    };
    place(kFileSetBlock, FileSet());
    ForEach(root_, [&](const Node& n) {
      place(n.entryBlock, Entry(n));
      if (n.directory) place(n.extents.front().block, DirectoryData(n));
    });
    if (!Metadata()) {
      image.Put(kPartitionStart, area);
      return;
    }
    const std::uint32_t mirror = kMetadataStart + entryBlocks_;
    image.Put(kPartitionStart + kMetadataFileBlock,
              MetadataEntry(kMetadataFile, kMetadataFileBlock, kMetadataStart));
    image.Put(kPartitionStart + kMetadataMirrorBlock,
              MetadataEntry(kMetadataMirrorFile, kMetadataMirrorBlock, mirror));
    image.Put(kPartitionStart + kMetadataStart, area);
    image.Put(kPartitionStart + mirror, area);
  }

  static void PutData(SectorImage& image, const Bytes& bytes, const std::vector<Extent>& extents) {
    std::size_t done = 0;
    for (const Extent& e : extents) {
      const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(done);
      image.Put(kPartitionStart + e.block, Bytes(from, from + e.length));
      done += e.length;
    }
  }

  void WriteData(SectorImage& image) const {
    ForEach(root_, [&](const Node& n) {
      if (n.directory || n.sharesDataOf) return;
      PutData(image, n.bytes, n.embedded ? n.isoCopy : n.extents);
    });
  }

  static IsoNode IsoTree(const Node& n) {
    IsoNode iso;
    iso.name = n.name;
    iso.directory = n.directory;
    for (const Extent& e : n.embedded ? n.isoCopy : n.extents) {
      if (!n.directory) iso.extents.push_back({kPartitionStart + e.block, e.length});
    }
    for (const auto& child : n.children) iso.children.push_back(IsoTree(*child));
    return iso;
  }

  // Blocks of the physical partition before any data, for 2.50: the metadata file's entry, its
  // mirror's, then the metadata file's blocks and the mirror's.
  static constexpr std::uint32_t kMetadataFileBlock = 0;
  static constexpr std::uint32_t kMetadataMirrorBlock = 1;
  static constexpr std::uint32_t kMetadataStart = 2;
  static constexpr std::uint32_t kFileSetBlock = 0;

  const ImageOptions& o_;
  Node root_;
  std::uint64_t nextUniqueId_ = 0;
  std::uint32_t entryBlocks_ = 0;
  std::uint32_t partitionLength_ = 0;
  std::uint64_t sectorCount_ = 0;
};

}  // namespace

std::vector<std::uint8_t> BuildImage(const std::vector<ImageFile>& files,
                                     const ImageOptions& options) {
  return Builder(files, options).Build().Flatten();
}

FilePlacement PlacementOf(const std::vector<ImageFile>& files, const ImageOptions& options,
                          const std::string& path) {
  return Builder(files, options).Placement(path);
}

void WriteImage(const std::filesystem::path& image, const std::vector<ImageFile>& files,
                const ImageOptions& options) {
  Builder(files, options).Build().WriteTo(image);
}

std::vector<ImageFile> DiscFiles(std::uint8_t appInfoFlags) {
  return testdisc::DiscFiles(appInfoFlags);
}

}  // namespace testimage
