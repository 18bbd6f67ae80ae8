// The building blocks of UDF descriptors: the tag with its checksum and CRC, identifiers,
// strings, timestamps and allocation descriptors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tests/support/image_fields.h"

namespace testimage::udf {

enum Tag : std::uint16_t {
  kPrimaryVolume = 1,
  kAnchor = 2,
  kImplementationUseVolume = 4,
  kPartition = 5,
  kLogicalVolume = 6,
  kUnallocatedSpace = 7,
  kTerminating = 8,
  kLogicalVolumeIntegrity = 9,
  kFileSet = 256,
  kFileIdentifier = 257,
  kFileEntry = 261,
  kExtendedFileEntry = 266,
};

// CRC-ITU-T: polynomial 0x1021, initial value 0, most significant bit first.
std::uint16_t Crc(const std::uint8_t* data, std::size_t size);

// Writes the 16-byte tag at the start of `d`: its CRC covers everything after the tag, its
// checksum the tag's other bytes. Call it once the body is complete.
void FinishTag(Bytes& d, std::uint16_t id, std::uint16_t version, std::uint32_t location);

// An entity identifier (regid): flags 0, the identifier, and an 8-byte suffix whose first two
// bytes are a UDF revision in the domain and UDF identifiers' suffixes.
void PutEntityId(Bytes& b, std::size_t at, std::string_view identifier, std::uint16_t revision = 0);

// The charspec every UDF string field names: CS0, "OSTA Compressed Unicode".
void PutCharSpec(Bytes& b, std::size_t at);

// A name in OSTA compressed unicode with 8-bit characters (compression id 8).
Bytes Cs0(std::string_view text);

// A fixed-length string field: the CS0 name, and its length in the field's last byte.
void PutDstring(Bytes& b, std::size_t at, std::size_t fieldLength, std::string_view text);

// Every time in the image: 2020-01-02 03:04:05 UTC.
void PutTimestamp(Bytes& b, std::size_t at);

void PutExtentAd(Bytes& b, std::size_t at, std::uint32_t length, std::uint32_t sector);
void PutShortAd(Bytes& b, std::size_t at, std::uint32_t length, std::uint32_t block);
void PutLongAd(Bytes& b, std::size_t at, std::uint32_t length, std::uint32_t block,
               std::uint16_t partition);

}  // namespace testimage::udf
