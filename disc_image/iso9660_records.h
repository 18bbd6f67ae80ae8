#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "disc_image/image_reader.h"

// The ISO 9660 and Joliet views a bridge image keeps beside its UDF volume: the directory records
// of BDMV and BDMV/BACKUP, which may point at the same data as the UDF files.
namespace iso9660 {

inline constexpr std::size_t kDataLengthOffset = 10;  // both-endian: little, then big
inline constexpr std::size_t kDateOffset = 18;

struct Record {
  std::uint64_t offset = 0;  // of the record in the image
  std::uint32_t extent = 0;  // the sector its data begins at
  std::uint32_t length = 0;
  bool directory = false;
  bool continued = false;  // a multi-extent file goes on in the next record
  std::string name;        // UTF-8, without its ";1" version
};

// A file or directory: one record, or for a multi-extent file one for each of its extents.
struct Entry {
  std::string name;
  bool directory = false;
  std::vector<Record> parts;
};

struct View {
  std::vector<Entry> bdmv;
  std::vector<Entry> backup;
};

// The primary view, then the Joliet one, as far as the image has them; none in a UDF-only image.
std::vector<View> ReadBdmvRecords(const disc_image::ImageReader& reader);

}  // namespace iso9660
