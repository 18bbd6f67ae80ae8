#include "tests/support/udf_descriptors.h"

#include <algorithm>
#include <stdexcept>

namespace testimage::udf {

std::uint16_t Crc(const std::uint8_t* data, std::size_t size) {
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= static_cast<std::uint16_t>(data[i] << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<std::uint16_t>(crc << 1);
    }
  }
  return crc;
}

void FinishTag(Bytes& d, std::uint16_t id, std::uint16_t version, std::uint32_t location) {
  constexpr std::size_t kTagSize = 16;
  constexpr std::size_t kChecksumAt = 4;
  PutLe16(d, 0, id);
  PutLe16(d, 2, version);
  PutLe16(d, 8, Crc(d.data() + kTagSize, d.size() - kTagSize));
  PutLe16(d, 10, static_cast<std::uint16_t>(d.size() - kTagSize));
  PutLe32(d, 12, location);
  std::uint8_t checksum = 0;
  for (std::size_t i = 0; i < kTagSize; ++i) {
    if (i != kChecksumAt) checksum = static_cast<std::uint8_t>(checksum + d[i]);
  }
  d[kChecksumAt] = checksum;
}

void PutEntityId(Bytes& b, std::size_t at, std::string_view identifier, std::uint16_t revision) {
  constexpr std::size_t kIdentifierLength = 23;
  if (identifier.size() > kIdentifierLength) throw std::invalid_argument("identifier too long");
  PutBytes(b, at + 1, identifier);
  PutLe16(b, at + 24, revision);
}

void PutCharSpec(Bytes& b, std::size_t at) {
  b.at(at) = 0;  // CS0
  PutBytes(b, at + 1, std::string_view("OSTA Compressed Unicode"));
}

Bytes Cs0(std::string_view text) {
  constexpr std::uint8_t kEightBitCharacters = 8;
  Bytes name(1 + text.size(), kEightBitCharacters);
  std::copy(text.begin(), text.end(), name.begin() + 1);
  return name;
}

void PutDstring(Bytes& b, std::size_t at, std::size_t fieldLength, std::string_view text) {
  const Bytes name = Cs0(text);
  if (name.size() >= fieldLength) throw std::invalid_argument("string too long for its field");
  PutBytes(b, at, name);
  b.at(at + fieldLength - 1) = static_cast<std::uint8_t>(name.size());
}

void PutTimestamp(Bytes& b, std::size_t at) {
  constexpr std::uint16_t kLocalTimeAtUtc = 0x1000;  // type 1, offset 0 minutes
  PutLe16(b, at, kLocalTimeAtUtc);
  PutLe16(b, at + 2, 2020);
  const std::uint8_t monthDayHourMinuteSecond[] = {1, 2, 3, 4, 5};
  for (std::size_t i = 0; i < 5; ++i) b.at(at + 4 + i) = monthDayHourMinuteSecond[i];
}

void PutExtentAd(Bytes& b, std::size_t at, std::uint32_t length, std::uint32_t sector) {
  PutLe32(b, at, length);
  PutLe32(b, at + 4, sector);
}

void PutShortAd(Bytes& b, std::size_t at, std::uint32_t length, std::uint32_t block) {
  PutLe32(b, at, length);
  PutLe32(b, at + 4, block);
}

void PutLongAd(Bytes& b, std::size_t at, std::uint32_t length, std::uint32_t block,
               std::uint16_t partition) {
  PutLe32(b, at, length);
  PutLe32(b, at + 4, block);
  PutLe16(b, at + 8, partition);
}

}  // namespace testimage::udf
