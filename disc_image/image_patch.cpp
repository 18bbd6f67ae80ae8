#include "disc_image/image_patch.h"

#include <algorithm>
#include <optional>

#include "bdmv/bdmv_names.h"
#include "bdmv/folder_messages.h"
#include "bdmv/patch_progress.h"
#include "disc_image/image_refusal.h"
#include "disc_image/iso9660_records.h"
#include "disc_image/sector_edits.h"
#include "disc_image/udf_descriptors.h"
#include "disc_image/udf_volume.h"
#include "platform/local_time.h"

namespace disc_image {
namespace {

namespace msg = image_messages;
using udf::DirectoryItem;
using udf::FileEntry;

constexpr std::uint64_t kBlockSize = index_table::kExtensionDataBlock.size();

// The BDMV folder's items, the index file's and movie-object file's among them, and those of
// BDMV/BACKUP.
struct Disc {
  std::string bdmvName;
  std::vector<DirectoryItem> bdmv;
  std::vector<DirectoryItem> backup;
  std::size_t index = 0;
  std::optional<std::size_t> movieObject;
};

std::vector<platform::DirEntry> EntriesOf(const std::vector<DirectoryItem>& items) {
  std::vector<platform::DirEntry> entries;
  for (const DirectoryItem& item : items) entries.push_back(item.entry);
  return entries;
}

// Found by `find`, the same rules as in a folder on disk.
template <typename Find>
std::optional<std::size_t> FindFile(const std::vector<DirectoryItem>& items, Find find) {
  const std::vector<platform::DirEntry> entries = EntriesOf(items);
  const platform::DirEntry* found = find(entries);
  if (!found) return std::nullopt;
  return static_cast<std::size_t>(found - entries.data());
}

const DirectoryItem* FindDirectory(const std::vector<DirectoryItem>& items, std::string_view name) {
  const std::vector<platform::DirEntry> entries = EntriesOf(items);
  const platform::DirEntry* found = bdmv_names::FindEntry(entries, name);
  if (!found || found->kind != platform::EntryKind::kDirectory) return nullptr;
  return &items[static_cast<std::size_t>(found - entries.data())];
}

Disc ReadDisc(const udf::Volume& volume) {
  const std::vector<DirectoryItem> root =
      volume.ReadDirectory(volume.ReadEntry(volume.RootDirectory()));
  const DirectoryItem* bdmv = FindDirectory(root, bdmv_names::kBdmvFolder);
  if (!bdmv) throw ImageRefusal(folder_messages::kModifyNoIndex);
  Disc disc;
  disc.bdmvName = bdmv->entry.name;
  disc.bdmv = volume.ReadDirectory(volume.ReadEntry(bdmv->icb));
  const auto index = FindFile(disc.bdmv, [](const std::vector<platform::DirEntry>& entries) {
    return bdmv_names::FindFileOrAlternative(entries, bdmv_names::kIndex,
                                             bdmv_names::kIndexAlternative);
  });
  if (!index) throw ImageRefusal(folder_messages::kModifyNoIndex);
  disc.index = *index;
  disc.movieObject = FindFile(disc.bdmv, bdmv_names::FindMovieObject);
  if (const DirectoryItem* backup = FindDirectory(disc.bdmv, bdmv_names::kBackup)) {
    disc.backup = volume.ReadDirectory(volume.ReadEntry(backup->icb));
  }
  return disc;
}

bool IsFile(const FileEntry& entry) {
  return entry.fileType == static_cast<std::uint8_t>(udf::FileType::kFile);
}

// The ranges sorted, those that overlap or touch made one.
std::vector<udf::SectorRange> Merged(std::vector<udf::SectorRange> ranges) {
  std::sort(ranges.begin(), ranges.end(),
            [](const udf::SectorRange& a, const udf::SectorRange& b) { return a.first < b.first; });
  std::vector<udf::SectorRange> merged;
  for (const udf::SectorRange& range : ranges) {
    if (!merged.empty() && range.first <= merged.back().first + merged.back().count) {
      udf::SectorRange& last = merged.back();
      last.count = std::max(last.count, range.first + range.count - last.first);
    } else {
      merged.push_back(range);
    }
  }
  return merged;
}

// Whether the range overlaps any of the merged ranges: only the last one that starts before
// its end can.
bool Overlaps(const std::vector<udf::SectorRange>& merged, const udf::SectorRange& range) {
  const auto after = std::partition_point(
      merged.begin(), merged.end(),
      [&](const udf::SectorRange& m) { return m.first < range.first + range.count; });
  return after != merged.begin() && std::prev(after)->Overlaps(range);
}

// Writing the index file in place writes every file that shares its entry or its blocks: another
// name of the entry, or an image made with hard links whose BDMV/BACKUP/index.bdmv has an entry
// of its own over the same extent.
void RefuseSharedData(const udf::Volume& volume, const FileEntry& index, const Disc& disc) {
  if (index.linkCount > 1) throw ImageRefusal(msg::kModifySharedData);
  const std::uint64_t entrySector = volume.SectorCopies(index.address).front();
  const std::vector<udf::SectorRange> indexSectors = Merged(volume.SectorsOf(index));
  for (const std::vector<DirectoryItem>* items : {&disc.bdmv, &disc.backup}) {
    for (const DirectoryItem& item : *items) {
      if (&item == &disc.bdmv[disc.index] || item.entry.kind == platform::EntryKind::kDirectory) {
        continue;
      }
      if (volume.SectorCopies(item.icb).front() == entrySector) {
        throw ImageRefusal(msg::kModifySharedData);
      }
      for (const udf::SectorRange& range : volume.SectorsOf(volume.ReadEntry(item.icb))) {
        if (Overlaps(indexSectors, range)) throw ImageRefusal(msg::kModifySharedData);
      }
    }
  }
}

// The block goes into the free end of the data's last block (or of the entry that embeds it),
// so that nothing is allocated.
void RefuseWithoutRoom(const FileEntry& index) {
  if (index.embedded) {
    if (index.dataLength != index.length) throw ImageRefusal(msg::kModifyUnsupportedLayout);
    if (index.UsedSize() + kBlockSize > kSectorSize) throw ImageRefusal(msg::kModifyNoRoom);
    return;
  }
  std::uint64_t recorded = 0;
  for (const udf::Extent& extent : index.extents) {
    if (extent.type != udf::ExtentType::kRecorded) {
      throw ImageRefusal(msg::kModifyUnsupportedLayout);
    }
    recorded += extent.length;
  }
  if (index.extents.empty() || recorded != index.length) {
    throw ImageRefusal(msg::kModifyUnsupportedLayout);
  }
  const std::uint64_t used = index.length % kSectorSize;
  constexpr std::uint32_t kMaxExtentLength = 0x3FFFFFFF;
  if (used == 0 || used + kBlockSize > kSectorSize ||
      index.extents.back().length > kMaxExtentLength - kBlockSize) {
    throw ImageRefusal(msg::kModifyNoRoom);
  }
}

std::uint64_t FirstDataSector(const udf::Volume& volume, const FileEntry& file) {
  return volume.SectorCopies(file.extents.front().start).front();
}

// Whether the records hold the file's data where its extents do, one record for each.
bool SameExtents(const udf::Volume& volume, const FileEntry& file, const iso9660::Entry& entry) {
  if (entry.parts.size() != file.extents.size()) return false;
  for (std::size_t i = 0; i < file.extents.size(); ++i) {
    if (entry.parts[i].extent != volume.SectorCopies(file.extents[i].start).front() ||
        entry.parts[i].length != file.extents[i].length) {
      return false;
    }
  }
  return true;
}

// The ISO 9660 entries whose data is the file's: they begin where its data does.
std::vector<iso9660::Entry> EntriesOver(const udf::Volume& volume, const FileEntry& file,
                                        const std::vector<iso9660::Entry>& entries) {
  std::vector<iso9660::Entry> found;
  if (file.embedded || file.extents.empty()) return found;
  const std::uint64_t first = FirstDataSector(volume, file);
  for (const iso9660::Entry& entry : entries) {
    if (!entry.directory && entry.parts.front().extent == first) found.push_back(entry);
  }
  return found;
}

bool IsIndexName(const std::string& name) {
  std::string_view bare = name;
  if (bare.ends_with('.')) bare.remove_suffix(1);
  return platform::SameName(bare, bdmv_names::kIndex) ||
         platform::SameName(bare, bdmv_names::kIndexAlternative);
}

// The ISO 9660 and Joliet entries of the index file's data, which the patch changes with it. An
// entry that names the index file but keeps other bytes (or a copy of embedded data) would go on
// showing the unpatched file, and one in BDMV/BACKUP over the same data would change with it.
std::vector<iso9660::Entry> IndexEntries(const udf::Volume& volume, const FileEntry& index,
                                         const std::vector<iso9660::View>& views) {
  std::vector<iso9660::Entry> entries;
  for (const iso9660::View& view : views) {
    const std::vector<iso9660::Entry> same = EntriesOver(volume, index, view.bdmv);
    for (const iso9660::Entry& entry : same) {
      if (!SameExtents(volume, index, entry)) throw ImageRefusal(msg::kModifyIsoCopy);
    }
    for (const iso9660::Entry& entry : view.bdmv) {
      const bool isSame = std::any_of(same.begin(), same.end(), [&](const iso9660::Entry& e) {
        return e.parts.front().offset == entry.parts.front().offset;
      });
      if (!entry.directory && !isSame && IsIndexName(entry.name)) {
        throw ImageRefusal(msg::kModifyIsoCopy);
      }
    }
    if (!EntriesOver(volume, index, view.backup).empty()) {
      throw ImageRefusal(msg::kModifySharedData);
    }
    entries.insert(entries.end(), same.begin(), same.end());
  }
  return entries;
}

std::size_t ModificationTimeOffset(const FileEntry& entry) {
  return entry.extended ? udf::kEfeModificationTimeOffset : udf::kFeModificationTimeOffset;
}

void SetModificationTime(std::span<std::uint8_t> entry, const FileEntry& file,
                         const platform::LocalTime& time) {
  const auto stamp = udf::Timestamp(time);
  std::copy(stamp.begin(), stamp.end(), entry.begin() + ModificationTimeOffset(file));
}

void SetRecordDate(SectorEdits& edits, const iso9660::Record& record,
                   const platform::LocalTime& time, std::optional<std::uint32_t> length) {
  const auto date = udf::RecordDate(time);
  edits.Edit(record.offset, iso9660::kDateOffset + date.size(), [&](std::span<std::uint8_t> bytes) {
    if (length) {
      udf::PutLe32(bytes, iso9660::kDataLengthOffset, *length);
      udf::PutBe32(bytes, iso9660::kDataLengthOffset + 4, *length);
    }
    std::copy(date.begin(), date.end(), bytes.begin() + iso9660::kDateOffset);
  });
}

void TouchMovieObject(const udf::Volume& volume, const FileEntry& movieObject,
                      const std::vector<iso9660::View>& views, const platform::LocalTime& time,
                      SectorEdits& edits) {
  for (const std::uint64_t sector : volume.SectorCopies(movieObject.address)) {
    edits.Edit(sector * kSectorSize, movieObject.UsedSize(), [&](std::span<std::uint8_t> entry) {
      SetModificationTime(entry, movieObject, time);
      udf::SealTag(entry);
    });
  }
  for (const iso9660::View& view : views) {
    for (const iso9660::Entry& entry : EntriesOver(volume, movieObject, view.bdmv)) {
      for (const iso9660::Record& record : entry.parts) {
        SetRecordDate(edits, record, time, std::nullopt);
      }
    }
  }
}

void GrowBy(std::span<std::uint8_t> entry, std::size_t at, std::uint64_t grow) {
  udf::PutLe64(entry, at, udf::Le64(entry, at) + grow);
}

// The entry's own fields for data 24 bytes longer: information length, an EFE's object size,
// the modification time, and its tag.
void GrowEntry(std::span<std::uint8_t> entry, const FileEntry& index,
               const platform::LocalTime& time) {
  GrowBy(entry, udf::kInformationLengthOffset, kBlockSize);
  if (index.extended) GrowBy(entry, udf::kObjectSizeOffset, kBlockSize);
  SetModificationTime(entry, index, time);
}

void SetBytes(std::span<std::uint8_t> bytes, std::size_t at, std::span<const std::uint8_t> value) {
  if (at > bytes.size() || value.size() > bytes.size() - at) RefuseDamaged();
  std::copy(value.begin(), value.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

// Data inside its entry: the block, address and flags go there too, with the lengths that say
// how much of the entry is data, one region for each copy of the entry.
void PatchEmbedded(const udf::Volume& volume, const FileEntry& index,
                   const std::vector<index_table::BytePatch>& changes,
                   const platform::LocalTime& time, SectorEdits& edits) {
  const std::size_t lengthOffset =
      index.extended ? udf::kEfeAllocationLengthOffset : udf::kFeAllocationLengthOffset;
  for (const std::uint64_t sector : volume.SectorCopies(index.address)) {
    edits.Edit(sector * kSectorSize, index.UsedSize() + kBlockSize,
               [&](std::span<std::uint8_t> entry) {
                 for (const index_table::BytePatch& change : changes) {
                   SetBytes(entry, index.dataOffset + change.offset, change.bytes);
                 }
                 udf::PutLe32(entry, lengthOffset, index.dataLength + kBlockSize);
                 const std::uint16_t crcLength = udf::Le16(entry, udf::kTagCrcLengthOffset);
                 if (crcLength == index.UsedSize() - udf::kTagSize) {
                   udf::PutLe16(entry, udf::kTagCrcLengthOffset,
                                static_cast<std::uint16_t>(crcLength + kBlockSize));
                 }
                 GrowEntry(entry, index, time);
                 udf::SealTag(entry);
               });
  }
}

void SetFileBytes(const udf::Volume& volume, const FileEntry& file,
                  const std::vector<index_table::BytePatch>& changes, SectorEdits& edits) {
  std::vector<std::pair<std::uint64_t, std::uint8_t>> bytes;
  for (const index_table::BytePatch& change : changes) {
    for (std::size_t i = 0; i < change.bytes.size(); ++i) {
      for (const std::uint64_t offset : volume.ByteCopies(file, change.offset + i)) {
        bytes.emplace_back(offset, change.bytes[i]);
      }
    }
  }
  edits.Set(bytes);
}

// Data in extents: the block into the free end of the last block first, which no reader sees
// yet; then the ISO records and the entry, which make it part of the file; the address last,
// which makes the file a patched table.
void PatchExtents(const udf::Volume& volume, const FileEntry& index,
                  const std::vector<index_table::BytePatch>& changes,
                  const std::vector<iso9660::Entry>& entries, const platform::LocalTime& time,
                  SectorEdits& edits) {
  std::vector<index_table::BytePatch> block;
  std::vector<index_table::BytePatch> head;
  for (const index_table::BytePatch& change : changes) {
    (change.offset == index.length ? block : head).push_back(change);
  }
  SetFileBytes(volume, index, block, edits);
  // The last record holds the end of the data.
  for (const iso9660::Entry& entry : entries) {
    for (const iso9660::Record& record : entry.parts) {
      const bool last = &record == &entry.parts.back();
      SetRecordDate(edits, record, time,
                    last ? std::optional(static_cast<std::uint32_t>(record.length + kBlockSize))
                         : std::nullopt);
    }
  }
  const std::size_t lastLength = index.extents.back().descriptorOffset;
  for (const std::uint64_t sector : volume.SectorCopies(index.address)) {
    edits.Edit(sector * kSectorSize, index.UsedSize(), [&](std::span<std::uint8_t> entry) {
      // The type bits above the length stay.
      udf::PutLe32(entry, lastLength, udf::Le32(entry, lastLength) + kBlockSize);
      GrowEntry(entry, index, time);
      udf::SealTag(entry);
    });
  }
  SetFileBytes(volume, index, head, edits);
}

void Plan(const platform::File& image, bool convert3DTo2D, std::time_t now,
          std::span<const Region> putBack, ImagePatch& patch) {
  const ImageReader reader(image, true, putBack);
  const udf::Volume volume = udf::Volume::Open(reader);
  const Disc disc = ReadDisc(volume);
  const DirectoryItem& indexItem = disc.bdmv[disc.index];
  patch.indexPath = disc.bdmvName + "/" + indexItem.entry.name;
  const FileEntry index = volume.ReadEntry(indexItem.icb);
  if (!IsFile(index)) throw ImageRefusal(folder_messages::kModifyNotAnIndex);
  patch.header = index_table::ReadHeader(
      volume.ReadData(index, 0, std::min<std::uint64_t>(index.length, index_table::kMinimumSize)));
  patch.indexRead = true;
  if (!patch.header.isIndexTable) throw ImageRefusal(folder_messages::kModifyNotAnIndex);
  std::vector<index_table::BytePatch> changes;
  if (!patch.header.IsPatched()) {
    changes = index_table::PatchFor(index.length, convert3DTo2D);
    if (changes.empty()) throw ImageRefusal(folder_messages::kModifyTooLarge);
    // Before its end is read: the data must end where the entry says.
    RefuseWithoutRoom(index);
  }
  // Judged as a folder's index file without a backup is.
  const patch_progress::FileBytes bytes{
      index.length, [&](std::uint64_t offset, std::span<std::uint8_t> buffer) {
        const std::size_t length =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), index.length - offset));
        const std::vector<std::uint8_t> read = volume.ReadData(index, offset, length);
        std::copy(read.begin(), read.end(), buffer.begin());
        return length;
      }};
  switch (patch_progress::Classify(bytes, std::nullopt).stage) {
    case patch_progress::Stage::kPatched:
      return;
    case patch_progress::Stage::kBroken:
    case patch_progress::Stage::kUnfinished:
      patch.halfPatched = true;
      throw ImageRefusal(folder_messages::kModifyHalfPatched);
    case patch_progress::Stage::kUnpatched:
      break;
  }
  RefuseSharedData(volume, index, disc);
  volume.CheckWhole(index);
  const std::vector<iso9660::View> views = iso9660::ReadBdmvRecords(reader);
  const std::vector<iso9660::Entry> isoEntries = IndexEntries(volume, index, views);

  // As in a folder, the movie-object file's time goes first: an interruption then leaves at
  // worst a new time beside an unpatched index file. Anything but a plain file is left alone.
  const platform::LocalTime time = platform::ToLocalTime(now);
  SectorEdits edits(reader);
  if (disc.movieObject) {
    const FileEntry movieObject = volume.ReadEntry(disc.bdmv[*disc.movieObject].icb);
    if (IsFile(movieObject)) {
      volume.CheckWhole(movieObject);
      TouchMovieObject(volume, movieObject, views, time, edits);
    }
  }
  if (index.embedded) {
    PatchEmbedded(volume, index, changes, time, edits);
  } else {
    PatchExtents(volume, index, changes, isoEntries, time, edits);
  }
  patch.regions = edits.Take();
}

}  // namespace

ImagePatch PlanImagePatch(const platform::File& image, bool convert3DTo2D, std::time_t now,
                          std::span<const Region> putBack) {
  ImagePatch patch;
  try {
    Plan(image, convert3DTo2D, now, putBack, patch);
  } catch (const ImageRefusal& refusal) {
    patch.refusal = refusal.what();
    patch.regions.clear();
  }
  return patch;
}

}  // namespace disc_image
