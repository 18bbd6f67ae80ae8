#include "disc_image/iso9660_records.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string_view>

#include "bdmv/bdmv_names.h"
#include "disc_image/image_refusal.h"
#include "disc_image/udf_descriptors.h"
#include "platform/directory.h"

namespace iso9660 {
namespace {

using disc_image::ImageReader;
using disc_image::kSectorSize;
using disc_image::RefuseDamaged;

constexpr std::uint64_t kFirstDescriptorSector = 16;
constexpr std::uint64_t kMaxDescriptors = 32;
constexpr std::size_t kRootRecordOffset = 156;
constexpr std::size_t kRootRecordSize = 34;
constexpr std::size_t kMinRecordSize = 33;
constexpr std::uint32_t kMaxDirectorySize = 4 << 20;

Record ParseRecord(std::span<const std::uint8_t> bytes, std::uint64_t offset, bool joliet) {
  constexpr std::uint8_t kDirectoryFlag = 0x02;
  constexpr std::uint8_t kMultiExtentFlag = 0x80;
  Record record;
  record.offset = offset;
  record.extent = udf::Le32(bytes, 2);
  record.length = udf::Le32(bytes, kDataLengthOffset);
  const std::uint8_t flags = udf::Byte(bytes, 25);
  record.directory = (flags & kDirectoryFlag) != 0;
  record.continued = (flags & kMultiExtentFlag) != 0;
  const std::uint8_t nameLength = udf::Byte(bytes, 32);
  if (kMinRecordSize + nameLength > bytes.size()) RefuseDamaged();
  const std::span<const std::uint8_t> name = bytes.subspan(kMinRecordSize, nameLength);
  record.name = joliet ? udf::Utf16BeToUtf8(name) : std::string(name.begin(), name.end());
  record.name = record.name.substr(0, record.name.find(';'));
  return record;
}

// A directory's entries, without "." and "..": records never cross a sector, and a zero length
// byte pads to the next.
std::vector<Entry> ReadDirectory(const ImageReader& reader, const Record& directory, bool joliet) {
  if (directory.length > kMaxDirectorySize) RefuseDamaged();
  std::vector<Entry> entries;
  bool continues = false;
  const std::uint64_t sectors = (directory.length + kSectorSize - 1) / kSectorSize;
  for (std::uint64_t i = 0; i < sectors; ++i) {
    const std::uint64_t sector = directory.extent + i;
    const std::vector<std::uint8_t> bytes = reader.ReadSector(
        sector, std::min<std::size_t>(kSectorSize, directory.length - i * kSectorSize));
    for (std::size_t at = 0; at < bytes.size();) {
      const std::uint8_t length = bytes[at];
      if (length == 0) break;
      if (length < kMinRecordSize || at + length > bytes.size()) RefuseDamaged();
      const std::span<const std::uint8_t> recordBytes = std::span(bytes).subspan(at, length);
      const bool self = length > kMinRecordSize && recordBytes[32] == 1 && recordBytes[33] <= 1;
      at += length;
      if (self) continue;
      Record record = ParseRecord(recordBytes, sector * kSectorSize + at - length, joliet);
      if (!continues) entries.push_back({record.name, record.directory, {}});
      continues = record.continued;
      entries.back().parts.push_back(std::move(record));
    }
  }
  return entries;
}

std::optional<Record> FindDirectory(const std::vector<Entry>& entries, std::string_view name) {
  const auto found = std::find_if(entries.begin(), entries.end(), [&](const Entry& entry) {
    return entry.directory && platform::SameName(entry.name, name);
  });
  if (found == entries.end()) return std::nullopt;
  return found->parts.front();
}

bool IsJoliet(std::span<const std::uint8_t> descriptor) {
  constexpr std::size_t kEscapeSequencesOffset = 88;
  const std::uint8_t* escape = descriptor.data() + kEscapeSequencesOffset;
  return escape[0] == '%' && escape[1] == '/' &&
         (escape[2] == '@' || escape[2] == 'C' || escape[2] == 'E');
}

}  // namespace

std::vector<View> ReadBdmvRecords(const ImageReader& reader) {
  constexpr std::uint8_t kPrimary = 1;
  constexpr std::uint8_t kSupplementary = 2;
  constexpr std::uint8_t kTerminator = 255;
  std::optional<std::vector<std::uint8_t>> primary;
  std::optional<std::vector<std::uint8_t>> joliet;
  for (std::uint64_t sector = kFirstDescriptorSector;
       sector < kFirstDescriptorSector + kMaxDescriptors; ++sector) {
    if (!reader.Holds(sector * kSectorSize, kSectorSize)) break;
    const std::vector<std::uint8_t> identifier = reader.ReadSector(sector, 6);
    // Past the ISO 9660 descriptors come UDF's own ("BEA01", "NSR03"), or nothing.
    if (!std::equal(identifier.begin() + 1, identifier.end(), "CD001")) break;
    if (identifier[0] == kTerminator) break;
    std::vector<std::uint8_t> descriptor =
        reader.ReadSector(sector, kRootRecordOffset + kRootRecordSize);
    if (descriptor[0] == kPrimary && !primary)
      primary = std::move(descriptor);
    else if (descriptor[0] == kSupplementary && !joliet && IsJoliet(descriptor)) {
      joliet = std::move(descriptor);
    }
  }

  std::vector<View> views;
  for (const auto& [descriptor, isJoliet] :
       {std::pair(&primary, false), std::pair(&joliet, true)}) {
    if (!*descriptor) continue;
    const std::span<const std::uint8_t> rootBytes =
        std::span(**descriptor).subspan(kRootRecordOffset, kRootRecordSize);
    const Record root = ParseRecord(rootBytes, 0, isJoliet);
    View view;
    if (const auto bdmv =
            FindDirectory(ReadDirectory(reader, root, isJoliet), bdmv_names::kBdmvFolder)) {
      view.bdmv = ReadDirectory(reader, *bdmv, isJoliet);
      if (const auto backup = FindDirectory(view.bdmv, bdmv_names::kBackup)) {
        view.backup = ReadDirectory(reader, *backup, isJoliet);
      }
    }
    views.push_back(std::move(view));
  }
  return views;
}

}  // namespace iso9660
