#include "disc_image/image_backup_file.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string_view>

#include "platform/file.h"
#include "platform/file_error.h"

namespace disc_image {
namespace {

using Json = nlohmann::json;

constexpr const char* kKind = "Quorvel disc image backup";
// Version 2 adds the checksum; a file of version 1, without one, is still read.
constexpr int kVersion = 2;
constexpr int kVersionWithoutChecksum = 1;
// A patch changes a few sectors; anything far longer is no file of ours.
constexpr std::uint64_t kLongestFile = 1 << 20;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

int DigitValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  return -1;
}

std::optional<std::vector<std::uint8_t>> FromHex(const Json& value) {
  if (!value.is_string()) return std::nullopt;
  const std::string& text = value.get_ref<const std::string&>();
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = DigitValue(text[i]);
    const int low = DigitValue(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return bytes;
}

// CRC-32 (IEEE 802.3, as zip and PNG have it): any change of a digit or two shows.
std::uint32_t Crc32(std::string_view text) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (const char c : text) {
    crc ^= static_cast<std::uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

// The checksum of the document's content, whatever its spacing: of its compact form without
// the checksum itself.
std::string ChecksumOf(Json document) {
  document.erase("checksum");
  char text[9];
  std::snprintf(text, sizeof text, "%08x", Crc32(document.dump()));
  return text;
}

const Json* Field(const Json& object, const char* name) {
  const auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

std::optional<Region> RegionFrom(const Json& entry) {
  if (!entry.is_object()) return std::nullopt;
  const Json* offset = Field(entry, "offset");
  const Json* before = Field(entry, "before");
  const Json* after = Field(entry, "after");
  if (!offset || !offset->is_number_unsigned() || !before || !after) return std::nullopt;
  auto beforeBytes = FromHex(*before);
  auto afterBytes = FromHex(*after);
  if (!beforeBytes || !afterBytes) return std::nullopt;
  return Region{offset->get<std::uint64_t>(), std::move(*beforeBytes), std::move(*afterBytes)};
}

std::optional<ImageBackup> BackupFrom(const Json& document, std::string& problem) {
  const Json* kind = document.is_object() ? Field(document, "kind") : nullptr;
  if (!kind || *kind != kKind) {
    problem = "it is not a backup file of a disc image";
    return std::nullopt;
  }
  const Json* version = Field(document, "version");
  if (!version || (*version != kVersion && *version != kVersionWithoutChecksum)) {
    problem = "it was written by another version of Quorvel";
    return std::nullopt;
  }
  const Json* size = Field(document, "imageSize");
  const Json* complete = Field(document, "complete");
  const Json* regions = Field(document, "regions");
  if (!size || !size->is_number_unsigned() || !complete || !complete->is_boolean() || !regions ||
      !regions->is_array()) {
    problem = "a field is missing or damaged";
    return std::nullopt;
  }
  ImageBackup backup{size->get<std::uint64_t>(), complete->get<bool>(), {}};
  for (const Json& entry : *regions) {
    std::optional<Region> region = RegionFrom(entry);
    if (!region) {
      problem = "a region is missing or damaged";
      return std::nullopt;
    }
    backup.regions.push_back(std::move(*region));
  }
  problem = ProblemIn(backup);
  if (!problem.empty()) return std::nullopt;
  const Json* checksum = Field(document, "checksum");
  if (*version == kVersion && (!checksum || *checksum != ChecksumOf(document))) {
    problem = "its checksum does not match its content";
    return std::nullopt;
  }
  return backup;
}

}  // namespace

std::string ProblemIn(const ImageBackup& backup) {
  if (backup.regions.empty()) return "it holds no region";
  std::vector<const Region*> byOffset;
  for (const Region& region : backup.regions) {
    if (region.before.empty() || region.before.size() != region.after.size()) {
      return "a region's two copies differ in length";
    }
    if (region.offset > backup.imageSize ||
        region.before.size() > backup.imageSize - region.offset) {
      return "a region lies outside the image";
    }
    byOffset.push_back(&region);
  }
  std::sort(byOffset.begin(), byOffset.end(),
            [](const Region* a, const Region* b) { return a->offset < b->offset; });
  for (std::size_t i = 1; i < byOffset.size(); ++i) {
    if (byOffset[i - 1]->offset + byOffset[i - 1]->before.size() > byOffset[i]->offset) {
      return "two regions overlap";
    }
  }
  return {};
}

std::vector<std::uint8_t> EncodeImageBackup(const ImageBackup& backup) {
  Json regions = Json::array();
  for (const Region& region : backup.regions) {
    regions.push_back(
        {{"offset", region.offset}, {"before", Hex(region.before)}, {"after", Hex(region.after)}});
  }
  Json document = {{"kind", kKind},
                   {"version", kVersion},
                   {"imageSize", backup.imageSize},
                   {"complete", backup.complete},
                   {"regions", std::move(regions)}};
  document["checksum"] = ChecksumOf(document);
  const std::string text = document.dump(1) + "\n";
  return {text.begin(), text.end()};
}

std::optional<ImageBackup> DecodeImageBackup(std::span<const std::uint8_t> bytes,
                                             std::string& problem) {
  const Json document = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
  if (document.is_discarded()) {
    problem = "it is not JSON";
    return std::nullopt;
  }
  return BackupFrom(document, problem);
}

ImageBackupFile ReadImageBackupFile(const platform::Directory& dir, const std::string& name) {
  ImageBackupFile found;
  try {
    const platform::File file = platform::File::OpenForReading(dir, name);
    found.exists = true;
    if (!file.IsRegular()) {
      found.problem = "it is not a plain file";
      return found;
    }
    const std::uint64_t size = file.Size();
    if (size > kLongestFile) {
      found.problem = "it is too long";
      return found;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    bytes.resize(file.ReadAt(0, bytes));
    found.backup = DecodeImageBackup(bytes, found.problem);
  } catch (const FileError& error) {
    if (error.Operation() == platform::FileOperation::kOpen &&
        error.Cause() == FileErrorCause::kFileNotFound) {
      return {};
    }
    found.exists = true;
    found.problem = error.Description();
  }
  return found;
}

void WriteImageBackupFile(const platform::Directory& dir, const std::string& name,
                          const ImageBackup& backup, bool replaceExisting) {
  platform::NewFile file(dir, name, name);
  file.Write(EncodeImageBackup(backup));
  file.KeepHidden();
  file.Publish(replaceExisting);
}

}  // namespace disc_image
