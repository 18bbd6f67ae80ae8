#include "tests/support/image_fields.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <string>

namespace testimage {
namespace {

template <typename T>
void PutLittle(Bytes& b, std::size_t at, T value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i)
    b.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

template <typename T>
void PutBig(Bytes& b, std::size_t at, T value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    b.at(at + i) = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
  }
}

}  // namespace

void PutLe16(Bytes& b, std::size_t at, std::uint16_t value) {
  PutLittle(b, at, value, 2);
}
void PutLe32(Bytes& b, std::size_t at, std::uint32_t value) {
  PutLittle(b, at, value, 4);
}
void PutLe64(Bytes& b, std::size_t at, std::uint64_t value) {
  PutLittle(b, at, value, 8);
}
void PutBe16(Bytes& b, std::size_t at, std::uint16_t value) {
  PutBig(b, at, value, 2);
}
void PutBe32(Bytes& b, std::size_t at, std::uint32_t value) {
  PutBig(b, at, value, 4);
}

void PutBoth16(Bytes& b, std::size_t at, std::uint16_t value) {
  PutLe16(b, at, value);
  PutBe16(b, at + 2, value);
}

void PutBoth32(Bytes& b, std::size_t at, std::uint32_t value) {
  PutLe32(b, at, value);
  PutBe32(b, at + 4, value);
}

void PutBytes(Bytes& b, std::size_t at, std::string_view text) {
  if (at + text.size() > b.size()) throw std::out_of_range("field past the end of its structure");
  std::copy(text.begin(), text.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

void PutBytes(Bytes& b, std::size_t at, const Bytes& bytes) {
  if (at + bytes.size() > b.size()) throw std::out_of_range("field past the end of its structure");
  std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

void SectorImage::Put(std::uint64_t sector, const Bytes& bytes) {
  for (std::size_t done = 0; done < bytes.size(); done += kSectorSize, ++sector) {
    if (sector >= sectorCount_) throw std::invalid_argument("data past the end of the image");
    auto& stored = sectors_.try_emplace(sector).first->second;
    const std::size_t n = std::min(kSectorSize, bytes.size() - done);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(done), n, stored.begin());
  }
}

Bytes SectorImage::Flatten() const {
  Bytes image(sectorCount_ * kSectorSize);
  for (const auto& [sector, bytes] : sectors_) {
    std::copy(bytes.begin(), bytes.end(),
              image.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize));
  }
  return image;
}

void SectorImage::WriteTo(const std::filesystem::path& file) const {
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const auto& [sector, bytes] : sectors_) {
      out.seekp(static_cast<std::streamoff>(sector * kSectorSize));
      out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
    }
    out.close();
    if (!out) throw std::runtime_error("cannot write " + file.string());
  }
  std::filesystem::resize_file(file, sectorCount_ * kSectorSize);
}

}  // namespace testimage
