#include "tests/support/iso9660_bridge.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace testimage {
namespace {

constexpr std::size_t kSectorSize = SectorImage::kSectorSize;
constexpr std::uint8_t kDirectoryFlag = 0x02;
constexpr std::uint8_t kMoreExtentsFlag = 0x80;
constexpr std::uint8_t kRecordDate[7] = {2020 - 1900, 1, 2, 3, 4, 5, 0};
constexpr std::string_view kVolumeDate = "2020010203040500";
constexpr std::string_view kVolumeName = "QUORVEL_TEST";

enum class View { kIso9660, kJoliet };

// Level 1 names, relaxed in length: upper case, a three-letter extension and version 1.
Bytes IsoName(const IsoNode& node) {
  std::string name;
  for (const char c : node.name)
    name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (!node.directory) {
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name = name.substr(0, dot + 4);
    name += ";1";
  }
  return Bytes(name.begin(), name.end());
}

Bytes Ucs2(std::string_view text) {
  Bytes name;
  for (const char c : text) {
    name.push_back(0);
    name.push_back(static_cast<std::uint8_t>(c));
  }
  return name;
}

Bytes Identifier(const IsoNode& node, View view) {
  return view == View::kIso9660 ? IsoName(node) : Ucs2(node.name);
}

std::vector<const IsoNode*> SortedChildren(const IsoNode& dir, View view) {
  std::vector<const IsoNode*> children;
  for (const IsoNode& child : dir.children) children.push_back(&child);
  std::sort(children.begin(), children.end(), [view](const IsoNode* a, const IsoNode* b) {
    return Identifier(*a, view) < Identifier(*b, view);
  });
  return children;
}

// Directories in path-table order: by level, then by parent, then by name.
struct Listed {
  const IsoNode* dir;
  std::size_t parent;  // index in the list
};

std::vector<Listed> Directories(const IsoNode& root, View view) {
  std::vector<Listed> dirs{{&root, 0}};
  for (std::size_t i = 0; i < dirs.size(); ++i) {
    for (const IsoNode* child : SortedChildren(*dirs[i].dir, view)) {
      if (child->directory) dirs.push_back({child, i});
    }
  }
  return dirs;
}

Bytes Record(const Bytes& identifier, std::uint32_t sector, std::uint32_t length,
             std::uint8_t flags) {
  const std::size_t size = 33 + identifier.size() + (identifier.size() % 2 == 0 ? 1 : 0);
  Bytes r(size);
  r[0] = static_cast<std::uint8_t>(size);
  PutBoth32(r, 2, sector);
  PutBoth32(r, 10, length);
  std::copy(std::begin(kRecordDate), std::end(kRecordDate), r.begin() + 18);
  r[25] = flags;
  PutBoth16(r, 28, 1);  // volume sequence number
  r[32] = static_cast<std::uint8_t>(identifier.size());
  PutBytes(r, 33, identifier);
  return r;
}

const Bytes kSelf{0x00};
const Bytes kParent{0x01};

// One view's sectors: L path table, M path table, then one sector per directory.
class ViewWriter {
 public:
  ViewWriter(const IsoNode& root, View view, std::uint32_t firstSector)
      : view_(view), dirs_(Directories(root, view)), first_(firstSector) {}

  std::uint32_t DirectorySector(std::size_t index) const {
    return first_ + 2 + static_cast<std::uint32_t>(index);
  }

  std::size_t IndexOf(const IsoNode* dir) const {
    for (std::size_t i = 0; i < dirs_.size(); ++i) {
      if (dirs_[i].dir == dir) return i;
    }
    throw std::logic_error("directory not listed");
  }

  Bytes PathTable(bool bigEndian) const {
    Bytes table;
    for (std::size_t i = 0; i < dirs_.size(); ++i) {
      const Bytes id = i == 0 ? kSelf : Identifier(*dirs_[i].dir, view_);
      Bytes entry(8 + id.size() + id.size() % 2);
      entry[0] = static_cast<std::uint8_t>(id.size());
      const auto parentNumber = static_cast<std::uint16_t>(dirs_[i].parent + 1);
      if (bigEndian) {
        PutBe32(entry, 2, DirectorySector(i));
        PutBe16(entry, 6, parentNumber);
      } else {
        PutLe32(entry, 2, DirectorySector(i));
        PutLe16(entry, 6, parentNumber);
      }
      PutBytes(entry, 8, id);
      table.insert(table.end(), entry.begin(), entry.end());
    }
    return table;
  }

  Bytes DirectoryRecords(std::size_t index) const {
    const IsoNode& dir = *dirs_[index].dir;
    Bytes records = Record(kSelf, DirectorySector(index), kSectorSize, kDirectoryFlag);
    Append(records,
           Record(kParent, DirectorySector(dirs_[index].parent), kSectorSize, kDirectoryFlag));
    for (const IsoNode* child : SortedChildren(dir, view_)) {
      const Bytes id = Identifier(*child, view_);
      if (child->directory) {
        Append(records, Record(id, DirectorySector(IndexOf(child)), kSectorSize, kDirectoryFlag));
        continue;
      }
      if (child->extents.empty()) Append(records, Record(id, 0, 0, 0));
      for (std::size_t e = 0; e < child->extents.size(); ++e) {
        const bool last = e + 1 == child->extents.size();
        Append(records, Record(id, child->extents[e].sector, child->extents[e].length,
                               last ? 0 : kMoreExtentsFlag));
      }
    }
    if (records.size() > kSectorSize) throw std::invalid_argument("ISO 9660 directory too large");
    return records;
  }

  void Write(SectorImage& image) const {
    image.Put(first_, PathTable(false));
    image.Put(first_ + 1, PathTable(true));
    for (std::size_t i = 0; i < dirs_.size(); ++i)
      image.Put(DirectorySector(i), DirectoryRecords(i));
  }

  void PutVolumeFields(Bytes& d, std::uint32_t volumeSectors) const {
    PutBoth32(d, 80, volumeSectors);
    PutBoth16(d, 120, 1);  // volume set size
    PutBoth16(d, 124, 1);  // volume sequence number
    PutBoth16(d, 128, kSectorSize);
    PutBoth32(d, 132, static_cast<std::uint32_t>(PathTable(false).size()));
    PutLe32(d, 140, first_);
    PutBe32(d, 148, first_ + 1);
    PutBytes(d, 156, Record(kSelf, DirectorySector(0), kSectorSize, kDirectoryFlag));
    for (const std::size_t at : {813, 830}) {  // creation and modification
      PutBytes(d, at, kVolumeDate);
    }
    for (const std::size_t at : {847, 864}) {  // expiration and effective: not specified
      PutBytes(d, at, std::string_view("0000000000000000"));
    }
    d[881] = 1;  // file structure version
  }

  std::size_t DirectoryCount() const { return dirs_.size(); }

 private:
  static void Append(Bytes& to, const Bytes& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
  }

  View view_;
  std::vector<Listed> dirs_;
  std::uint32_t first_;
};

Bytes VolumeDescriptor(std::uint8_t type) {
  Bytes d(kSectorSize);
  d[0] = type;
  PutBytes(d, 1, std::string_view("CD001"));
  d[6] = 1;
  return d;
}

// Text fields the descriptors fill with spaces: system, volume, volume set, publisher, preparer,
// application, copyright, abstract and bibliographic identifiers.
struct TextField {
  std::size_t at, length;
};
constexpr TextField kTextFields[] = {{8, 32},    {40, 32},  {190, 128}, {318, 128}, {446, 128},
                                     {574, 128}, {702, 37}, {739, 37},  {776, 37}};

Bytes PrimaryDescriptor(const ViewWriter& view, std::uint32_t volumeSectors) {
  Bytes d = VolumeDescriptor(1);
  for (const TextField& f : kTextFields)
    std::fill_n(d.begin() + static_cast<std::ptrdiff_t>(f.at), f.length, ' ');
  PutBytes(d, 40, kVolumeName);
  view.PutVolumeFields(d, volumeSectors);
  return d;
}

Bytes JolietDescriptor(const ViewWriter& view, std::uint32_t volumeSectors) {
  Bytes d = VolumeDescriptor(2);
  for (const TextField& f : kTextFields) {
    for (std::size_t i = 0; i + 1 < f.length; i += 2) d[f.at + i + 1] = ' ';
  }
  PutBytes(d, 40, Ucs2(kVolumeName));
  PutBytes(d, 88, std::string_view("%/E"));  // UCS-2 level 3
  view.PutVolumeFields(d, volumeSectors);
  return d;
}

std::uint32_t JolietSector(const ViewWriter& iso, std::uint32_t firstSector) {
  return firstSector + 2 + static_cast<std::uint32_t>(iso.DirectoryCount());
}

}  // namespace

std::uint32_t IsoSectorCount(const IsoNode& root) {
  return 2 * (2 + static_cast<std::uint32_t>(Directories(root, View::kIso9660).size()));
}

std::vector<std::uint32_t> IsoDirectorySectors(const IsoNode& root, std::uint32_t firstSector,
                                               const IsoNode& dir) {
  const ViewWriter iso(root, View::kIso9660, firstSector);
  const ViewWriter joliet(root, View::kJoliet, JolietSector(iso, firstSector));
  return {iso.DirectorySector(iso.IndexOf(&dir)), joliet.DirectorySector(joliet.IndexOf(&dir))};
}

void WriteIsoBridge(SectorImage& image, const IsoNode& root, std::uint32_t firstSector) {
  const ViewWriter iso(root, View::kIso9660, firstSector);
  const ViewWriter joliet(root, View::kJoliet, JolietSector(iso, firstSector));
  const auto volumeSectors = static_cast<std::uint32_t>(image.SectorCount());
  iso.Write(image);
  joliet.Write(image);
  image.Put(kIsoDescriptorsSector, PrimaryDescriptor(iso, volumeSectors));
  image.Put(kIsoDescriptorsSector + 1, JolietDescriptor(joliet, volumeSectors));
  image.Put(kIsoDescriptorsSector + 2, VolumeDescriptor(255));
}

}  // namespace testimage
