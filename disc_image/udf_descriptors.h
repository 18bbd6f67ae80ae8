#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/local_time.h"

// The pieces every UDF descriptor and ISO 9660 record is made of: little- and big-endian fields
// read with bounds checks (a field past the end refuses the image as damaged), the descriptor
// tag with its checksum and CRC, timestamps and names.
namespace udf {

enum TagIdentifier : std::uint16_t {
  kAnchorTag = 2,
  kPartitionTag = 5,
  kLogicalVolumeTag = 6,
  kTerminatingTag = 8,
  kFileSetTag = 256,
  kFileIdentifierTag = 257,
  kFileEntryTag = 261,
  kExtendedFileEntryTag = 266,
};

inline constexpr std::size_t kTagSize = 16;
inline constexpr std::size_t kTagChecksumOffset = 4;
inline constexpr std::size_t kTagCrcOffset = 8;
inline constexpr std::size_t kTagCrcLengthOffset = 10;
inline constexpr std::size_t kTagLocationOffset = 12;

std::uint8_t Byte(std::span<const std::uint8_t> bytes, std::size_t at);
std::uint16_t Le16(std::span<const std::uint8_t> bytes, std::size_t at);
std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at);
std::uint64_t Le64(std::span<const std::uint8_t> bytes, std::size_t at);
std::uint16_t Be16(std::span<const std::uint8_t> bytes, std::size_t at);
void PutLe16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value);
void PutLe32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value);
void PutLe64(std::span<std::uint8_t> bytes, std::size_t at, std::uint64_t value);
void PutBe32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value);

// CRC-ITU-T: polynomial 0x1021, initial value 0, most significant bit first.
std::uint16_t Crc(std::span<const std::uint8_t> bytes);

// The tag's checksum: the sum of its other fifteen bytes, modulo 256.
std::uint8_t TagChecksum(std::span<const std::uint8_t> descriptor);

// Whether the descriptor begins with a tag of this identifier whose checksum holds. Readers
// differ on the CRC; what Quorvel writes always has a right one.
bool HasTag(std::span<const std::uint8_t> descriptor, std::uint16_t identifier);

// Recomputes the CRC over the tag's CRC length of body, then the checksum, after a change.
void SealTag(std::span<std::uint8_t> descriptor);

// A 12-byte timestamp of type 1 (local time) with the zone's offset in minutes.
std::array<std::uint8_t, 12> Timestamp(const platform::LocalTime& time);

// An ISO 9660 directory record's 7-byte date: years since 1900, month, day, hour, minute,
// second, and the zone's offset in 15-minute units.
std::array<std::uint8_t, 7> RecordDate(const platform::LocalTime& time);

// UTF-16 big-endian, as Joliet names and 16-bit d-characters hold it, in UTF-8; a lone
// surrogate becomes U+FFFD.
std::string Utf16BeToUtf8(std::span<const std::uint8_t> bytes);

// A file identifier's d-characters (compression 8 or 16) in UTF-8; nothing for another
// compression or an empty name.
std::optional<std::string> DecodeIdentifier(std::span<const std::uint8_t> bytes);

}  // namespace udf
