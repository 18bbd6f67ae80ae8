// Fields of on-disc structures, written into byte buffers, and an image kept as the sectors
// that hold anything.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string_view>
#include <vector>

namespace testimage {

using Bytes = std::vector<std::uint8_t>;

void PutLe16(Bytes& b, std::size_t at, std::uint16_t value);
void PutLe32(Bytes& b, std::size_t at, std::uint32_t value);
void PutLe64(Bytes& b, std::size_t at, std::uint64_t value);
void PutBe16(Bytes& b, std::size_t at, std::uint16_t value);
void PutBe32(Bytes& b, std::size_t at, std::uint32_t value);
// ISO 9660's both-byte-order fields: little-endian, then big-endian.
void PutBoth16(Bytes& b, std::size_t at, std::uint16_t value);
void PutBoth32(Bytes& b, std::size_t at, std::uint32_t value);
void PutBytes(Bytes& b, std::size_t at, std::string_view text);
void PutBytes(Bytes& b, std::size_t at, const Bytes& bytes);

// An image of `sectorCount` 2048-byte sectors of which only those written are stored; every
// other sector is zero.
class SectorImage {
 public:
  static constexpr std::size_t kSectorSize = 2048;

  explicit SectorImage(std::uint64_t sectorCount) : sectorCount_(sectorCount) {}

  // Copies the bytes in from the start of `sector`, over as many sectors as they take.
  void Put(std::uint64_t sector, const Bytes& bytes);

  std::uint64_t SectorCount() const { return sectorCount_; }
  Bytes Flatten() const;
  // Writes the stored sectors and sets the file's length, leaving holes in between.
  void WriteTo(const std::filesystem::path& file) const;

 private:
  std::uint64_t sectorCount_;
  std::map<std::uint64_t, std::array<std::uint8_t, kSectorSize>> sectors_;
};

}  // namespace testimage
