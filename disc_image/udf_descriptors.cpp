#include "disc_image/udf_descriptors.h"

#include "disc_image/image_refusal.h"

namespace udf {
namespace {

void CheckRange(std::size_t size, std::size_t at, std::size_t length) {
  if (at > size || length > size - at) disc_image::RefuseDamaged();
}

void AppendUtf8(std::string& text, std::uint32_t codePoint) {
  if (codePoint < 0x80) {
    text += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    text += static_cast<char>(0xC0 | (codePoint >> 6));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    text += static_cast<char>(0xE0 | (codePoint >> 12));
    text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (codePoint >> 18));
    text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

}  // namespace

std::uint8_t Byte(std::span<const std::uint8_t> bytes, std::size_t at) {
  CheckRange(bytes.size(), at, 1);
  return bytes[at];
}

std::uint16_t Le16(std::span<const std::uint8_t> bytes, std::size_t at) {
  CheckRange(bytes.size(), at, 2);
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return Le16(bytes, at) | (std::uint32_t{Le16(bytes, at + 2)} << 16);
}

std::uint64_t Le64(std::span<const std::uint8_t> bytes, std::size_t at) {
  return Le32(bytes, at) | (std::uint64_t{Le32(bytes, at + 4)} << 32);
}

std::uint16_t Be16(std::span<const std::uint8_t> bytes, std::size_t at) {
  CheckRange(bytes.size(), at, 2);
  return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

void PutLe16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value) {
  CheckRange(bytes.size(), at, 2);
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLe32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
  PutLe16(bytes, at, static_cast<std::uint16_t>(value));
  PutLe16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

void PutLe64(std::span<std::uint8_t> bytes, std::size_t at, std::uint64_t value) {
  PutLe32(bytes, at, static_cast<std::uint32_t>(value));
  PutLe32(bytes, at + 4, static_cast<std::uint32_t>(value >> 32));
}

void PutBe32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
  CheckRange(bytes.size(), at, 4);
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  }
}

std::uint16_t Crc(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0;
  for (const std::uint8_t byte : bytes) {
    crc ^= static_cast<std::uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

std::uint8_t TagChecksum(std::span<const std::uint8_t> descriptor) {
  CheckRange(descriptor.size(), 0, kTagSize);
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kTagSize; ++i) {
    if (i != kTagChecksumOffset) sum = static_cast<std::uint8_t>(sum + descriptor[i]);
  }
  return sum;
}

bool HasTag(std::span<const std::uint8_t> descriptor, std::uint16_t identifier) {
  return descriptor.size() >= kTagSize && Le16(descriptor, 0) == identifier &&
         descriptor[kTagChecksumOffset] == TagChecksum(descriptor);
}

void SealTag(std::span<std::uint8_t> descriptor) {
  const std::size_t crcLength = Le16(descriptor, kTagCrcLengthOffset);
  CheckRange(descriptor.size(), kTagSize, crcLength);
  PutLe16(descriptor, kTagCrcOffset, Crc(descriptor.subspan(kTagSize, crcLength)));
  descriptor[kTagChecksumOffset] = TagChecksum(descriptor);
}

std::array<std::uint8_t, 12> Timestamp(const platform::LocalTime& time) {
  constexpr std::uint16_t kLocalTimeType = 1 << 12;
  const auto zone = static_cast<std::uint16_t>(kLocalTimeType | (time.offsetMinutes & 0x0FFF));
  const auto year = static_cast<std::uint16_t>(time.year);
  return {static_cast<std::uint8_t>(zone),
          static_cast<std::uint8_t>(zone >> 8),
          static_cast<std::uint8_t>(year),
          static_cast<std::uint8_t>(year >> 8),
          static_cast<std::uint8_t>(time.month),
          static_cast<std::uint8_t>(time.day),
          static_cast<std::uint8_t>(time.hour),
          static_cast<std::uint8_t>(time.minute),
          static_cast<std::uint8_t>(time.second),
          0,
          0,
          0};
}

std::array<std::uint8_t, 7> RecordDate(const platform::LocalTime& time) {
  return {static_cast<std::uint8_t>(time.year - 1900),
          static_cast<std::uint8_t>(time.month),
          static_cast<std::uint8_t>(time.day),
          static_cast<std::uint8_t>(time.hour),
          static_cast<std::uint8_t>(time.minute),
          static_cast<std::uint8_t>(time.second),
          static_cast<std::uint8_t>(static_cast<std::int8_t>(time.offsetMinutes / 15))};
}

std::string Utf16BeToUtf8(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    std::uint32_t unit = Be16(bytes, i);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      const std::uint32_t low = Be16(bytes, i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;
    AppendUtf8(text, unit);
  }
  return text;
}

std::optional<std::string> DecodeIdentifier(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 2) return std::nullopt;
  const std::span<const std::uint8_t> characters = bytes.subspan(1);
  if (bytes[0] == 16) return Utf16BeToUtf8(characters);
  if (bytes[0] != 8) return std::nullopt;
  std::string text;
  for (const std::uint8_t character : characters) AppendUtf8(text, character);
  return text;
}

}  // namespace udf
